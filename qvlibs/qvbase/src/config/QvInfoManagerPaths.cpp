// The settings path and the computer's short host name, both worked out once per process,
// and the small text helpers the settings readers share.
#include "qvbase/QvInfoManager.h"

#include <cstring>

#include "config/QvInfoManagerInternal.h"
#include "config/QvInfoManagerTestHooks.h"
#include "platform/QvPlatformHost.h"
#include "qvbase/QvLog.h"
#include "qvbase/QvString.h"
#include "qvbase/QvStringVector.h"
#include "qvbase/QvSystem.h"

namespace {

// A cached path this short cannot name the settings file, so it is built (again).
const int32_t kMinCachedPathLength = 3;
const int32_t kHostNameBufferSize = 300;
const char* const kUnknownHostName = "unknown";

QvString& QvInfoXmlPath() {
    static QvString path;
    return path;
}

QvString& QvInfoSideCopyPath() {
    static QvString path;
    return path;
}

struct HostNameState {
    QvString shortName;
    bool known = false;
    bool fake = false;
    bool fakeSucceeds = false;
    QvString fakeName;
};

HostNameState& HostName() {
    static HostNameState state;
    return state;
}

void SetBothPaths(const char* settingsPath) {
    QvInfoXmlPath().Set(settingsPath);
    QvInfoSideCopyPath().Set(&QvInfoXmlPath());
    QvInfoSideCopyPath().Append(QvInfoManager::kSideCopySuffix);
}

bool QueryHostName(char* buffer, int32_t size) {
    HostNameState& state = HostName();
    if (!state.fake)
        return QvPlatform::GetHostName(buffer, size);
    memset(buffer, 0, static_cast<size_t>(size));
    if (state.fakeSucceeds)
        strncpy(buffer, state.fakeName.GetText(), static_cast<size_t>(size - 1));
    return state.fakeSucceeds;
}

}  // namespace

namespace QvInfoManager {

const QvString* GetQvInfoXmlPath() {
    if (QvInfoXmlPath().GetLength() < kMinCachedPathLength) {
        QvString path;
        QvSystem::GetDataDir(&path);
        path.Append(kQvInfoFileName);
        SetBothPaths(path.GetText());
    }
    return &QvInfoXmlPath();
}

const QvString* GetQvInfoSideCopyPath() {
    GetQvInfoXmlPath();
    return &QvInfoSideCopyPath();
}

}  // namespace QvInfoManager

void GetShortHostName(QvString* out) {
    HostNameState& state = HostName();
    if (!state.known) {
        char buffer[kHostNameBufferSize];
        if (QueryHostName(buffer, kHostNameBufferSize)) {
            char* dot = strchr(buffer, '.');
            if (dot != nullptr)
                *dot = '\0';
        } else {
            buffer[0] = '\0';
        }
        state.shortName.Set(buffer[0] != '\0' ? buffer : kUnknownHostName);
        state.shortName.MakeLower();
        state.known = true;
    }
    if (out != nullptr)
        out->Set(&state.shortName);
}

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

bool EqualsNoCase(const char* a, const char* b) {
    for (;; a++, b++) {
        char x = *a >= 'A' && *a <= 'Z' ? static_cast<char>(*a + ('a' - 'A')) : *a;
        char y = *b >= 'A' && *b <= 'Z' ? static_cast<char>(*b + ('a' - 'A')) : *b;
        if (x != y)
            return false;
        if (x == '\0')
            return true;
    }
}

void SplitSettingList(const QvString* value, bool trimSingle, QvStringVector* items) {
    items->Clear();
    if (value->GetLength() < 1)
        return;
    if (value->FindChar(0, ',') >= 0) {
        QvStringVector::SplitCommaList(value, items);
        return;
    }
    QvString* item = new QvString(value);
    if (item == nullptr)
        return;
    if (trimSingle)
        item->Trim();
    if (!items->Add(item))
        delete item;
}

}  // namespace QvInfoManagerInternal

namespace QvInfoManagerTest {

void SetQvInfoXmlPath(const char* path) {
    if (path == nullptr || path[0] == '\0') {
        QvInfoXmlPath().Set("");
        QvInfoSideCopyPath().Set("");
        return;
    }
    SetBothPaths(path);
}

void SetFakeHostName(bool succeed, const char* name) {
    HostNameState& state = HostName();
    state.fake = true;
    state.fakeSucceeds = succeed;
    state.fakeName.Set(name != nullptr ? name : "");
}

void ForgetShortHostName() { HostName().known = false; }

void UseRealHostName() {
    HostNameState& state = HostName();
    state.fake = false;
    state.known = false;
}

}  // namespace QvInfoManagerTest
