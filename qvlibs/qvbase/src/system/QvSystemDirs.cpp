// Install and data directories and the installer's host identifier. Each answer comes
// from a fixed order of sources (registry, installer configuration, known folders) with
// fixed fallback texts, is computed on first use and cached until the process ends.
// Several threads may ask at once: one lock covers the three caches and is held while an
// answer is computed, so every thread gets the one cached answer.
#include "qvbase/QvSystem.h"

#include <mutex>
#include <new>

#include "foundation/QvUntilExit.h"
#include "system/QvPlatformShell.h"
#include "qvbase/QvFile.h"
#include "qvbase/QvFileXml.h"
#include "qvbase/QvString.h"
#include "qvbase/QvUtf16String.h"
#include "system/QvSystemState.h"

namespace {

const char* const kInstallDirRegistryPath = "HKLM/Software/Velbrook/installdir";
const char* const kInstallConfigFileName = "qvinstall.xml";
const char* const kDataDirAttribute = "datadir";
const char* const kHguidAttribute = "hguid";
const char* const kProgramFilesFallback = "C:\\Program Files";
const char* const kInstallDirFallback = "C:\\Program Files\\Velbrook\\";
const char* const kCommonAppDataFallback = "C:\\ProgramData";
const char* const kDataDirFallback = "C:\\ProgramData\\Velbrook\\";
const char* const kProductFolderName = "Velbrook";
const char* const kDataFolderName = "qvdata";
const char* const kHguidFallback = "999999999999999999999999";
const int32_t kHguidLength = 24;
// A registry value shorter than this cannot name a directory and counts as missing.
const int32_t kMinInstallDirLength = 3;
// A known folder shorter than this is replaced by the fallback folder text.
const int32_t kMinKnownFolderLength = 2;

using QvSystemPrivate::Caches;
using QvSystemPrivate::DirectoryCaches;

// Known folder in UTF-8. Returns false when the platform cannot name it; a folder that
// does not convert or is too short to be a path becomes fallbackFolder.
bool GetKnownFolderUtf8(QvPlatform::QvKnownFolder folder, const char* fallbackFolder, QvString* out) {
    QvUtf16String widePath;
    if (!QvPlatform::QueryKnownFolder(folder, &widePath))
        return false;
    if (!QvUtf16String::ConvertUtf16QvStringToUtf8(&widePath, out, nullptr) ||
        out->GetLength() < kMinKnownFolderLength)
        out->Set(fallbackFolder);
    return true;
}


void AppendFolder(QvString* path, const char* folderName) {
    path->Append("\\");
    path->Append(folderName);
}

void GetInstallConfigPath(QvString* out) {
    QvSystem::GetInstallDir(out);
    out->Append(kInstallConfigFileName);
}

}  // namespace

namespace QvSystem {

void GetInstallDir(QvString* out) {
    if (!out)
        return;
    out->Set("");
    DirectoryCaches& caches = Caches();
    std::lock_guard<std::recursive_mutex> guard(caches.lock);
    QvString& cache = caches.installDir;
    if (cache.GetLength() > 0) {
        out->Set(&cache);
        return;
    }

    ReadRegistryString(kInstallDirRegistryPath, out);
    if (out->GetLength() < kMinInstallDirLength) {
        if (GetKnownFolderUtf8(QvPlatform::QvKnownFolder::ProgramFiles, kProgramFilesFallback, out)) {
            AppendFolder(out, kProductFolderName);
            out->Append("\\");
        } else {
            out->Set(kInstallDirFallback);
        }
    }
    QvFile::RemoveTrailingSeparator(out);
    // A directory that cannot be created is still the answer: the callers' own file
    // operations report what is missing.
    QvFile::CreateDirectoryTree(out->GetText(), false);
    out->Append("\\");
    cache.Set(out);
}

void GetDataDir(QvString* out) {
    if (!out)
        return;
    out->Set("");
    DirectoryCaches& caches = Caches();
    std::lock_guard<std::recursive_mutex> guard(caches.lock);
    QvString& cache = caches.dataDir;
    if (cache.GetLength() > 0) {
        out->Set(&cache);
        return;
    }

    QvString configPath;
    GetInstallConfigPath(&configPath);
    if (QvFile::FileExists(&configPath) &&
        QvFile::GetUniqueStrAttrFromXmlFile(configPath.GetText(), kDataDirAttribute, out)) {
        // Taken as written: an empty value or a missing directory is still the answer.
        QvFile::RemoveTrailingSeparator(out);
        out->Append("\\");
        cache.Set(out);
        return;
    }

    out->Set("");
    if (GetKnownFolderUtf8(QvPlatform::QvKnownFolder::CommonAppData, kCommonAppDataFallback, out)) {
        AppendFolder(out, kProductFolderName);
        AppendFolder(out, kDataFolderName);
        out->Append("\\");
    } else {
        out->Set(kDataDirFallback);
    }
    cache.Set(out);
}

void GetHguid(QvString* out) {
    if (!out)
        return;
    out->Set("");
    DirectoryCaches& caches = Caches();
    std::lock_guard<std::recursive_mutex> guard(caches.lock);
    QvString& cache = caches.hguid;
    if (!caches.hguidKnown) {
        caches.hguidKnown = true;
        cache.Set("");
        QvString configPath;
        GetInstallConfigPath(&configPath);
        QvFile::GetUniqueStrAttrFromXmlFile(configPath.GetText(), kHguidAttribute, &cache);
        cache.MakeLower();
        if (cache.GetLength() != kHguidLength)
            cache.Set(kHguidFallback);
    }
    out->Set(&cache);
}

}  // namespace QvSystem

namespace QvSystemPrivate {
DirectoryCaches& Caches() {
    static QvUntilExit<DirectoryCaches> caches;
    return *caches;
}
}  // namespace QvSystemPrivate
