// The settings path, worked out once per process, and the small text helpers the settings
// readers share.
#include "qvbase/QvInfoManager.h"

#include <mutex>

#include "config/QvInfoManagerInternal.h"
#include "config/QvInfoManagerState.h"
#include "foundation/QvUntilExit.h"
#include "qvbase/QvFileXml.h"
#include "qvbase/QvLog.h"
#include "qvbase/QvString.h"
#include "qvbase/QvStringVector.h"
#include "qvbase/QvSystem.h"

using QvInfoManagerPrivate::Paths;
using QvInfoManagerPrivate::SettingsPaths;

namespace {

// A cached path this short cannot name the settings file, so it is built (again).
const int32_t kMinCachedPathLength = 3;

}  // namespace

namespace QvInfoManager {

const QvString* GetQvInfoXmlPath() {
    SettingsPaths& paths = Paths();
    std::lock_guard<std::mutex> guard(paths.lock);
    if (paths.settings.GetLength() < kMinCachedPathLength) {
        QvString path;
        QvSystem::GetDataDir(&path);
        path.Append(kQvInfoFileName);
        paths.Set(path.GetText());
    }
    return &paths.settings;
}

const QvString* GetQvInfoSideCopyPath() {
    GetQvInfoXmlPath();
    return &Paths().sideCopy;
}

}  // namespace QvInfoManager

namespace QvInfoManagerInternal {

void LogParts(const char* a, const char* b, const char* c, const char* d, const char* e) {
    QvString line;
    const char* parts[] = {a, b, c, d, e};
    for (const char* part : parts) {
        if (part != nullptr)
            line.Append(part);
    }
    WriteLogLine(&line);
}


bool GetElements(const QvString* text, const char* tag, const char* outOfMemoryPrefix, QvStringVector* snippets) {
    int32_t missed = 0;
    bool found = text != nullptr && (QvFile::GetAllXmlSnippetsWithTagNameInXml(text, tag, snippets, &missed) || missed > 0);
    if (text == nullptr)
        snippets->Clear();
    if (missed > 0) {
        QvString count;
        count.AppendInt(missed);
        LogParts(outOfMemoryPrefix, count.GetText(), " <", tag, "> elements not read");
    }
    return found;
}

bool SplitSettingList(const QvString* value, bool trimSingle, QvStringVector* items) {
    items->Clear();
    const int32_t length = value->GetLength();
    if (length < 1)
        return true;
    if (value->FindChar(0, ',') >= 0) {
        QvStringVector::SplitCommaList(value, items);
        // Whole when every field arrived with its text.
        int32_t fields = 0, position = 0, start = 0, fieldLength = 0;
        while (QvStringVector::NextCommaField(value, &position, &start, &fieldLength))
            fields++;
        bool whole = items->GetCount() == fields;
        for (int32_t i = 0; whole && i < fields; i++)
            whole = HasBuffer(items->GetAt(i));
        return whole;
    }
    QvString* item = new QvString(value);
    if (item == nullptr || !HasBuffer(item)) {
        delete item;
        return false;
    }
    if (trimSingle)
        item->Trim();
    if (items->Add(item))
        return true;
    delete item;
    return false;
}

}  // namespace QvInfoManagerInternal

namespace QvInfoManagerPrivate {

void SettingsPaths::Set(const char* settingsPath) {
    settings.Set(settingsPath);
    sideCopy.Set(settingsPath);
    if (settings.GetLength() > 0)
        sideCopy.Append(QvInfoManager::kSideCopySuffix);
}

SettingsPaths& Paths() {
    static QvUntilExit<SettingsPaths> paths;
    return *paths;
}

}  // namespace QvInfoManagerPrivate
