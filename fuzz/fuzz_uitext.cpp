// Fuzz target: the interface-text lookup and the status readers. The input is at once every file they
// read; the module starts afresh for every input, as in a new process; the first byte picks the locale.
#include <cstring>

#include "FuzzEnvironment.h"
#include "QvTestHooks.h"
#include "qvbase/QvUiUtil.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const kLocales[] = {"en_US", "fr_FR", "de_DE", "ja_JP", "it_IT", "es_ES", "ko_KR", "nl_NL"};
    if (size < 1 || size > 200000)
        return 0;
    QvFuzz::Environment& environment = QvFuzz::SetUpEnvironment();
    QvString reports(&environment.dataDir);
    reports.Append("qvreports");
    QvFile::CreateDirectoryTree(reports.GetText(), false);
    reports.Append("\\");
    QvFuzz::WriteInput(environment.installDir, "qvbui_interface.xml", data, size);
    QvFuzz::WriteInput(environment.dataDir, "qvinfo.xml", data, size);
    QvFuzz::WriteInput(reports, "qvdc_synchostinfo.xml", data, size);
    QvFuzz::WriteInput(environment.tempDir, "qv_sendlogs_ststus.shm", data, size);

    QvUiUtilTest::ResetModule();
    QvSystem::SetLocaleCode(kLocales[data[0] & 7]);
    for (const char* key : {"MainDialog_Button_RestoreOptions", "TrayMenuItem_Help", "lang", "a", ""}) {
        QvString text, again;
        GetUtf8InterfaceText(key, &text);
        GetUtf8InterfaceText(key, &again);
        Check(QvFuzz::Text(text) == QvFuzz::Text(again));
        // An unknown text is "ERR_" and the key; an empty text is a text (the file may hold key="").
        Check(QvFuzz::Text(text) == std::string("ERR_") + key || size_t(text.GetLength()) < size);
    }
    (void)GetQvUiLocale();
    (void)IsHideIconSet();
    (void)IsCheckForUpdatesEnabled();
    uint32_t percent = 0;
    uint64_t done = 0, total = 0;
    int32_t errorCode = 0;
    // Only a record of exactly 32 bytes is read.
    QvSendLogsRunStatus status = QvUiUtil::GetSendLogsStatus(&percent, &done, &total, &errorCode);
    Check(size == 32 ? status == (data[0] | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 | uint32_t(data[3]) << 24)
                     : status == kSendLogsRunStatusNone && percent == 0 && done == 0 && total == 0 && errorCode == 0);
    return 0;
}
