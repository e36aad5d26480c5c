// The icon's context menu. It is built afresh each time it opens, so the language, the
// update-check flag and the send-logs progress are those of that moment.
#include "QvBuiTrayMenu.h"

#include "QvBuiTrayConstants.h"
#include "QvBuiTrayLaunch.h"
#include "QvBuiTraySeams.h"
#include "QvBuiTrayState.h"
#include "qvbase/QvLog.h"
#include "qvbase/QvString.h"
#include "qvbase/QvSystem.h"
#include "qvbase/QvUiUtil.h"
#include "qvbase/QvUtf16String.h"

using namespace QvBuiTray;

// The last looked-up label; kept for the life of the program, overwritten by each lookup.
static QvString localizedLabel;

static bool IsKeyHeld(int virtualKey) {
    return GetKeyState(virtualKey) < 0;
}

bool qvbuiAppendStrMenuItem(HMENU menu, const char* text, int commandId, bool localize) {
    const char* label = text;
    if (localize) {
        GetUtf8InterfaceText(text, &localizedLabel);
        label = localizedLabel.GetText();
    }
    QvUtf16String wideLabel;
    wideLabel.SetFromUtf8(label);
    if (!AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(commandId),
                     reinterpret_cast<const wchar_t*>(wideLabel.GetText()))) {
        QvString line(QVBUITRAY_LOG_APPEND_MENU_FAILED);
        line.Append(text);
        WriteLogLine(&line);
        return false;
    }
    return true;
}

// The send-logs label: the progress of a running job, else the plain entry text.
static void BuildSendLogsLabel(QvString* label) {
    uint32_t percent = 0;
    uint64_t done = 0;
    uint64_t total = 0;
    int32_t errorCode = 0;
    QvSendLogsRunStatus status = QvUiUtil::GetSendLogsStatus(&percent, &done, &total, &errorCode);
    if (status == kSendLogsRunStatusPreparing || status == kSendLogsRunStatusSending) {
        // The interface text carries the printf conversion for the percentage.
        QvString format;
        GetUtf8InterfaceText(status == kSendLogsRunStatusPreparing ? QVBUITRAY_KEY_SEND_LOGS_PREPARING
                                                                  : QVBUITRAY_KEY_SEND_LOGS_SENDING,
                             &format);
        label->Format(format.GetText(), percent);
    } else {
        GetUtf8InterfaceText(QVBUITRAY_KEY_SEND_LOGS_TEXT, label);
    }
}

// The popup menu with every entry that applies now, in menu order; null when it cannot
// be created or an entry cannot be appended.
static HMENU BuildTrayMenu() {
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return nullptr;

    bool ok = qvbuiAppendStrMenuItem(menu, QVBUITRAY_KEY_CONTROL_PANEL, kQvBuiTrayCmdControlPanel, true) &&
              qvbuiAppendStrMenuItem(menu, QVBUITRAY_KEY_HELP, kQvBuiTrayCmdHelp, true);
    if (ok && IsCheckForUpdatesEnabled())
        ok = qvbuiAppendStrMenuItem(menu, QVBUITRAY_KEY_CHECK_FOR_UPDATES, kQvBuiTrayCmdCheckForUpdates, true);
    ok = ok && qvbuiAppendStrMenuItem(menu, QVBUITRAY_KEY_INHERIT, kQvBuiTrayCmdInherit, true) &&
         qvbuiAppendStrMenuItem(menu, QVBUITRAY_KEY_RESTORE_OPTIONS, kQvBuiTrayCmdRestoreOptions, true);
    if (ok && showSendLogsItem) {
        QvString sendLogsLabel;
        BuildSendLogsLabel(&sendLogsLabel);
        ok = qvbuiAppendStrMenuItem(menu, sendLogsLabel.GetText(), kQvBuiTrayCmdSendLogs, false);
    }
    ok = ok && qvbuiAppendStrMenuItem(menu, QVBUITRAY_KEY_ABOUT, kQvBuiTrayCmdAbout, true);
    if (ok) {
        AppendMenuW(menu, MF_SEPARATOR, static_cast<UINT_PTR>(kQvBuiTrayCmdSeparator), QVBUITRAY_SEPARATOR_TEXT);
        ok = qvbuiAppendStrMenuItem(menu, QVBUITRAY_KEY_QUIT, kQvBuiTrayCmdQuit, true);
    }
    if (!ok) {
        DestroyMenu(menu);
        return nullptr;
    }
    return menu;
}

void ShowQvBuiTrayMenu(HWND window) {
    const QvString& locale = GetQvUiLocale();
    if (locale.GetLength() > 0 && QvString::Compare(locale.GetText(), QVBUITRAY_DEFAULT_LOCALE) != 0)
        QvSystem::SetLocaleCode(locale.GetText());

    POINT cursor = {0, 0};
    GetCursorPos(&cursor);

    if (IsKeyHeld(VK_CONTROL) || IsKeyHeld(VK_MENU))
        showSendLogsItem = true;

    HMENU menu = BuildTrayMenu();
    if (!menu)
        return;

    // The owner must be the foreground window while the menu shows, or the menu does not
    // go away when the user clicks elsewhere.
    SetForegroundWindow(window);
    int commandId = QvBuiTraySeams::trackMenu(menu, kQvBuiTrayTrackMenuFlags, cursor.x, cursor.y, window);
    DestroyMenu(menu);
    SetForegroundWindow(window);

    if (commandId <= 0)
        return;
    RunQvBuiMenuCommand(commandId);
    if (commandId == kQvBuiTrayCmdQuit) {
        if (IsWindow(window) && timerId != 0) {
            KillTimer(window, timerId);
            timerId = 0;
        }
        PostQuitMessage(kQvBuiTrayQuitCode);
    }
}
