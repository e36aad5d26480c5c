// Test support of the tray's in-process tests.
#include "QvBuiTrayTestSupport.h"

#include "QvBuiTraySeams.h"
#include "QvBuiTrayState.h"
#include "QvBuiTrayWndProc.h"
#include "qvbase/QvString.h"
#include "qvbase/QvTime.h"

// The French texts carry non-ASCII letters so that the conversion to UTF-16 is seen.
static const char* const kInterfaceXml =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<qvbui_texts>\n"
    "<qvbui_text lang=\"en_US\" TrayMenuItem_VelbrookControlPanel=\"Open Velbrook\" TrayMenuItem_Help=\"Help\"\n"
    " TrayMenuItem_CheckForUpdates=\"Check for Updates\" TrayMenuItem_Inherit=\"Inherit a Backup\"\n"
    " MainDialog_Button_RestoreOptions=\"Restore Options\" TrayMenuItem_About=\"About Velbrook\"\n"
    " TrayMenuItem_Quit=\"Quit\" SendLogsMenu_Text=\"Send Logs\"\n"
    " SendLogsMenu_Status_Preparing=\"Preparing logs (%u%%)\" SendLogsMenu_Status_Sending=\"Sending logs (%u%%)\"/>\n"
    "<qvbui_text lang=\"fr_FR\" TrayMenuItem_VelbrookControlPanel=\"Ouvrir Velbrook\" TrayMenuItem_Help=\"Aide\"\n"
    " TrayMenuItem_CheckForUpdates=\"Rechercher des mises \xC3\xA0 jour\"\n"
    " TrayMenuItem_Inherit=\"H\xC3\xA9riter d'une sauvegarde\" MainDialog_Button_RestoreOptions=\"Options\"\n"
    " TrayMenuItem_About=\"\xC3\x80 propos\" TrayMenuItem_Quit=\"Quitter\"/>\n"
    "</qvbui_texts>\n";

static void WriteOrRemove(const std::string& path, const std::string& content) {
    ASSERT_TRUE(content.empty() ? (DeleteFileA(path.c_str()), true) : QvTestFs::WriteFile(path, content)) << path;
}

int QvBuiTrayTest::menuAnswer = 0;
std::vector<QvBuiTrayMenuShow> QvBuiTrayTest::menuShows;
std::vector<std::string> QvBuiTrayTest::launches;

NOTIFYICONDATAW QvBuiTrayTest::IconRecord(HWND window) {
    NOTIFYICONDATAW record = {};
    record.cbSize = sizeof(record);
    record.hWnd = window;
    record.uID = 110;
    return record;
}

// A modify without flags succeeds only while the shell holds the icon.
bool QvBuiTrayTest::IsIconShown(HWND window) {
    NOTIFYICONDATAW probe = IconRecord(window);
    return Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
}

int QvBuiTrayTest::TakeQuitCode() {
    MSG message;
    int code = -99;
    while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        code = int(message.wParam);
    return code;
}

void QvBuiTrayTest::SetControlKeyHeld(bool held) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = keys[VK_LCONTROL] = held ? 0x80 : 0;
    SetKeyboardState(keys);
}

std::string QvBuiTrayTest::ControlPanel(const std::string& argument) const {
    return "\"" + installDir + "\\qvbui.exe\" " + argument;
}

void QvBuiTrayTest::WriteHostInfo(const std::string& attributes) {
    WriteOrRemove(HostInfoPath(),
                  attributes.empty() ? "" : "<?xml version=\"1.0\"?>\n<qvdc_synchostinfo " + attributes + " />\n");
}

void QvBuiTrayTest::WriteSendLogsRecord(uint32_t status, uint64_t done, uint64_t total) {
    WriteOrRemove(SendLogsPath(), status == 0 ? "" : SendLogsRecord(status, done, total));
}

void QvBuiTrayTest::SetUp() {
    QvTestInstallation::SetUp();
    if (HasFatalFailure())
        return;
    temp.MakeFile("install\\qvbui_interface.xml", kInterfaceXml);
    WriteLocaleSetting("default");
    using namespace QvBuiTray;
    instance = GetModuleHandleW(nullptr);
    trayWindowProcedure = QvBuiTrayWndProc;
    clickState = kQvBuiTrayClickIdle;
    showSendLogsItem = false;
    timerId = 0;
    trayWindow = nullptr;
    ZeroMemory(&trayIconData, sizeof(trayIconData));
    lastHidden = false;
    firstVisibilityCheckTime = GetCurrentTimeMillis() / 1000;  // running for a while: ticks leave the icon be
    SetControlKeyHeld(false);
    menuAnswer = 0;
    menuShows.clear();
    launches.clear();
    QvBuiTraySeams::trackMenu = [](HMENU menu, UINT, int, int, HWND owner) {
        QvBuiTrayMenuShow show = {owner, ""};
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            wchar_t text[256] = {};
            char utf8[768] = {};
            GetMenuStringW(menu, UINT(i), text, 256, MF_BYPOSITION);
            WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof(utf8), nullptr, nullptr);
            bool separator = GetMenuState(menu, UINT(i), MF_BYPOSITION) & MF_SEPARATOR;
            show.items += (i ? "|" : "") + std::to_string(GetMenuItemID(menu, i)) + " " + (separator ? "-" : utf8);
        }
        menuShows.push_back(show);
        return menuAnswer;
    };
    QvBuiTraySeams::runCommand = [](const QvString* commandLine) {
        launches.push_back(commandLine->GetText());
        return true;
    };
    mainWindow = CreateWindowExW(0, L"STATIC", L"main", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(nullptr, mainWindow);
}

void QvBuiTrayTest::TearDown() {
    using namespace QvBuiTray;
    QvBuiTraySeams::trackMenu = QvBuiTraySeams::TrackMenuWithPlatform;
    QvBuiTraySeams::runCommand = QvBuiTraySeams::RunCommandWithPlatform;
    if (trayIconData.cbSize != 0)
        Shell_NotifyIconW(NIM_DELETE, &trayIconData);
    if (trayWindow)
        DestroyWindow(trayWindow);
    UnregisterClassW(L"VelbrookTrayWindow", instance);  // each test registers it with its own procedure
    DestroyWindow(mainWindow);
    TakeQuitCode();
    QvTestInstallation::TearDown();
}
