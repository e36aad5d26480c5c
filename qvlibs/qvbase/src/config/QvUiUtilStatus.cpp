// Status files that other programs of the client leave for the user interface: the flags
// of the host-information file and the progress record of a send-logs job. Nothing is
// cached; the writers do not coordinate with this reader, so a file caught empty or half
// written is read again after a short wait.
#include "qvbase/QvUiUtil.h"

#include <mutex>
#include <new>

#include "config/QvUiUtilState.h"
#include "foundation/QvUntilExit.h"
#include "platform/QvPlatformMemory.h"
#include "qvbase/QvFile.h"
#include "qvbase/QvFileXml.h"
#include "qvbase/QvLog.h"
#include "qvbase/QvString.h"
#include "qvbase/QvSystem.h"

namespace {

const char* const kReportsFolderName = "qvreports";
const char* const kSynchostinfoFileName = "qvdc_synchostinfo.xml";
const char* const kHideIconAttribute = "hide_icon";
const char* const kHideIconValue = "true";
const char* const kCheckForUpdatesAttribute = "enable_check_for_updates";
const char* const kCheckForUpdatesOffValue = "false";
const char* const kSendLogsStatusFileName = "qv_sendlogs_ststus.shm";

// A host-information file of this size or less is taken as caught while being written.
const int32_t kMinSynchostinfoLength = 10;
const int32_t kSynchostinfoReadAttempts = 20;
const uint32_t kSynchostinfoRetryWaitMillis = 300;
// A wait between two reads, none after the last.
const QvFile::QvReadRetry kSynchostinfoRetry = {kSynchostinfoReadAttempts, kSynchostinfoRetryWaitMillis, false};

// The send-logs record: 32 bytes, little-endian, no header.
const int32_t kSendLogsRecordSize = 32;
const int32_t kRunStatusOffset = 0;
const int32_t kAmountDoneOffset = 8;
const int32_t kTotalAmountOffset = 16;
const int32_t kErrorCodeOffset = 28;
const int32_t kSendLogsReadAttempts = 10;
const uint32_t kSendLogsRetryWaitMillis = 100;
// Every read that is not whole is followed by a wait, the last one too.
const QvFile::QvReadRetry kSendLogsRetry = {kSendLogsReadAttempts, kSendLogsRetryWaitMillis, true};
// Percent ranges: preparing runs 0 to 10, sending 10 to 100.
const uint64_t kPreparingPercentSpan = 10;
const uint64_t kSendingPercentStart = 10;
const uint64_t kSendingPercentSpan = 90;

std::mutex sendLogsStatusLock;

void FormSynchostinfoPath(QvString* out) {
    QvSystem::GetDataDir(out);
    out->Append(kReportsFolderName);
    out->Append("\\");
    out->Append(kSynchostinfoFileName);
}

using QvUiUtilPrivate::Paths;
using QvUiUtilPrivate::StatusPaths;

const QvString& SynchostinfoPath() {
    StatusPaths& paths = Paths();
    std::lock_guard<std::mutex> guard(paths.lock);
    if (paths.synchostinfo.GetLength() == 0)
        FormSynchostinfoPath(&paths.synchostinfo);
    return paths.synchostinfo;
}

bool IsWholeSynchostinfo(const char*, int32_t length) { return length > kMinSynchostinfoLength; }
bool IsWholeSendLogsRecord(const char*, int32_t length) { return length == kSendLogsRecordSize; }

uint32_t ReadUint32Le(const unsigned char* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
           uint32_t(bytes[3]) << 24;
}

uint64_t ReadUint64Le(const unsigned char* bytes) {
    return uint64_t(ReadUint32Le(bytes)) | uint64_t(ReadUint32Le(bytes + 4)) << 32;
}

uint32_t SendLogsPercent(QvSendLogsRunStatus status, uint64_t done, uint64_t total) {
    uint64_t percent = 0;
    if (status == kSendLogsRunStatusPreparing) {
        if (total != 0)
            percent = done * kPreparingPercentSpan / total;
    } else if (status == kSendLogsRunStatusSending) {
        percent = total == 0 ? kSendingPercentStart : done * kSendingPercentSpan / total + kSendingPercentStart;
    }
    return uint32_t(percent);
}

}  // namespace

namespace QvUiUtilPrivate {
StatusPaths& Paths() {
    static QvUntilExit<StatusPaths> paths;
    return *paths;
}
}  // namespace QvUiUtilPrivate

bool IsHideIconSet() {
    InitQvUiUtil();
    QvString value;
    return QvFile::GetUniqueStrAttrFromXmlFile(SynchostinfoPath().GetText(), kHideIconAttribute, &value) &&
           QvString::EqualsNoCase(value.GetText(), kHideIconValue);
}

bool IsCheckForUpdatesEnabled() {
    InitQvUiUtil();
    const QvString& path = SynchostinfoPath();
    if (!QvFile::FileExists(&path))
        return true;

    int32_t length = 0;
    char* text = QvFile::ReadWholeFileRetrying(path.GetText(), &length, kSynchostinfoRetry, IsWholeSynchostinfo);
    if (!text)
        return true;

    QvString value;
    bool disabled = QvFile::GetUniqueStrAttrFromXmlSnippet(text, kCheckForUpdatesAttribute, &value) &&
                    QvString::EqualsNoCase(value.GetText(), kCheckForUpdatesOffValue);
    QvPlatform::Free(text);
    return !disabled;
}

namespace QvUiUtil {

QvSendLogsRunStatus GetSendLogsStatus(uint32_t* percent, uint64_t* done, uint64_t* total, int32_t* errorCode) {
    if (!percent || !done || !total || !errorCode) {
        if (errorCode)
            *errorCode = kSendLogsBadArgumentsErrorCode;
        return kSendLogsRunStatusBadArguments;
    }
    InitQvUiUtil();

    std::lock_guard<std::mutex> guard(sendLogsStatusLock);
    QvString path;
    QvFile::GetTempDir(&path);
    path.Append(kSendLogsStatusFileName);
    if (!QvFile::FileExists(&path))
        return kSendLogsRunStatusNone;

    int32_t length = 0;
    char* record = QvFile::ReadWholeFileRetrying(path.GetText(), &length, kSendLogsRetry, IsWholeSendLogsRecord);
    if (!record) {
        // The message text is the one the client's log readers know.
        QV_LOG_MESSAGE(QV_LOG_LEVEL_ERROR, "pSendLogsStatus is NULL for %s", path.GetText());
        return kSendLogsRunStatusNone;
    }

    // Decoded byte by byte, so that the record reads the same on any host byte order.
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(record);
    QvSendLogsRunStatus status = ReadUint32Le(bytes + kRunStatusOffset);
    *done = ReadUint64Le(bytes + kAmountDoneOffset);
    *total = ReadUint64Le(bytes + kTotalAmountOffset);
    *errorCode = int32_t(ReadUint32Le(bytes + kErrorCodeOffset));
    QvPlatform::Free(record);

    *percent = SendLogsPercent(status, *done, *total);
    return status;
}

}  // namespace QvUiUtil
