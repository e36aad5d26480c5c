#pragma once
// QvUiUtil: the UI utility module of the client. The interface texts in the configured
// language (with an English fallback), the configured language itself, and the small
// status files other programs of the client leave for the user interface.

#include <cstdint>

#include "qvbase/QvString.h"

// ---- Start-up ---------------------------------------------------------------------
// Initialises the module once per process: reads the settings file, loads the whole
// interface-text file of the install directory into memory and forms the status-file
// paths. Every operation below calls it first while the module is not initialised;
// calling it again does nothing.
void InitQvUiUtil();

// ---- Interface text ---------------------------------------------------------------
// The configured interface language: "qvui_locale" from the settings file when it is set
// and not "default", else the content of the installer's locale file, else that setting
// (empty or "default"); "default" when the installer file exists but cannot be read. The
// settings file and the installer file are read on each call.
// The reference stays valid for the process; its content changes at the next call.
const QvString& GetQvUiLocale();

// Sets out to the text of `key` in the current locale code (QvSystem::GetLocaleCode),
// falling back to English, or to "ERR_" followed by the key when no text exists. Failures
// are logged. A null out does nothing; a null key counts as the empty key.
void GetUtf8InterfaceText(const char* key, QvString* out);

// ---- Status files and flags -------------------------------------------------------
// True when "hide_icon" in the host-information status file is "true" (any ASCII case).
bool IsHideIconSet();
// False only when "enable_check_for_updates" in the host-information status file is
// "false" (any ASCII case). A file caught empty or short is read again, up to 20 times
// with 300 ms waits.
bool IsCheckForUpdatesEnabled();

// Run state of a send-logs job; values other than those named are passed through from
// the status record unchanged.
typedef uint32_t QvSendLogsRunStatus;
const QvSendLogsRunStatus kSendLogsRunStatusNone = 0;       // no job, or no readable record
const QvSendLogsRunStatus kSendLogsRunStatusPreparing = 1;  // percent runs 0 to 10
const QvSendLogsRunStatus kSendLogsRunStatusSending = 2;    // percent runs 10 to 100
const QvSendLogsRunStatus kSendLogsRunStatusBadArguments = 4;
// Error code given back with kSendLogsRunStatusBadArguments.
const int32_t kSendLogsBadArgumentsErrorCode = 7001;

namespace QvUiUtil {

// Reads the 32-byte send-logs status record of the temporary directory and returns its run
// state. With a record read, fills done, total and errorCode from it and percent from the
// state (preparing: done * 10 / total; sending: done * 90 / total + 10; otherwise 0).
// Without the file, or without a complete record after 10 reads 100 ms apart, returns
// kSendLogsRunStatusNone with the outputs untouched. Any null pointer returns
// kSendLogsRunStatusBadArguments without reading the file; *errorCode is then set to
// kSendLogsBadArgumentsErrorCode when errorCode is given.
QvSendLogsRunStatus GetSendLogsStatus(uint32_t* percent, uint64_t* done, uint64_t* total,
                                      int32_t* errorCode);

}  // namespace QvUiUtil
