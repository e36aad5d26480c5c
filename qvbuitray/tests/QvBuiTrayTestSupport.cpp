#include "QvBuiTrayTestSupport.h"

#include <algorithm>
#include <cstdlib>

#include "QvBuiTraySeams.h"
#include "QvBuiTrayState.h"
#include "QvBuiTrayWndProc.h"
#include "QvTempDir.h"
#include "QvTestSystem.h"
#include "QvTestHooks.h"
#include "qvbase/QvLog.h"
#include "qvbase/QvString.h"
#include "qvbase/QvSystem.h"
#include "qvbase/QvTime.h"
#include "QvTestPlatform.h"

namespace {

// 2024-03-05 10:00:00 UTC: moving the clock by seconds never changes the day's log file.
const uint64_t kStartFileTime = (1709632800000ull + 11644473600000ull) * 10000ull;

// The French texts carry non-ASCII letters so that the conversion to UTF-16 is seen.
const char* const kInterfaceXml =
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

// Where the program finds its install directory: HKEY_LOCAL_MACHINE, this key, this value.
const wchar_t* const kInstallDirKey = L"Software\\Velbrook";
const wchar_t* const kInstallDirValue = L"installdir";

QvTempDir* root = nullptr;
std::string installDir, dataDir, tempDir, logPath;
size_t logMark = 0;

void WriteOrRemove(const std::string& path, const std::string& content) {
    if (content.empty())
        DeleteFileA(path.c_str());
    else
        ASSERT_TRUE(QvTestFs::WriteFile(path, content)) << path;
}

// The install directory is settled once from the registry value the program reads; the
// value is then put back so that later programs of the prefix see no change.
class TrayEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        root = new QvTempDir();
        ASSERT_TRUE(root->IsValid());
        installDir = root->MakeDir("install") + "\\";
        dataDir = root->MakeDir("data") + "\\";
        tempDir = root->MakeDir("tmp") + "\\";
        root->MakeDir("data\\qvreports");
        ASSERT_TRUE(QvTestSystem::SetEnv("TMP", root->Join("tmp")) && QvTestSystem::SetEnv("TEMP", root->Join("tmp")));
        root->MakeFile("install\\qvinstall.xml", "<qvinstall datadir=\"" + dataDir + "\" hguid=\"0123456789ab\"/>");
        root->MakeFile("install\\qvbui_interface.xml", kInterfaceXml);

        const uint32_t hklm = QvSystem::kRegistryRootLocalMachine;
        const std::string key = QvBuiTrayTestEnv::Utf8(kInstallDirKey);
        const std::string value = QvBuiTrayTestEnv::Utf8(kInstallDirValue);
        wchar_t previous[1024];
        DWORD bytes = sizeof(previous);
        bool hadPrevious = RegGetValueW(HKEY_LOCAL_MACHINE, kInstallDirKey, kInstallDirValue, RRF_RT_REG_SZ, nullptr,
                                        previous, &bytes) == ERROR_SUCCESS;
        ASSERT_TRUE(QvTestSystem::WriteRegistryString(hklm, key, value, installDir));
        QvSystemTest::ResetDirectoryCaches();
        QvString settled, data;
        QvSystem::GetInstallDir(&settled);
        QvSystem::GetDataDir(&data);
        if (hadPrevious)
            QvTestSystem::WriteRegistryString(hklm, key, value, QvBuiTrayTestEnv::Utf8(previous));
        else
            QvTestSystem::DeleteRegistryValue(hklm, key, value);
        ASSERT_EQ(installDir, settled.GetText());
        ASSERT_EQ(dataDir, data.GetText());

        QvUiUtilTest::ResetModule();
        QvPlatformTest::SetFakeUiLanguage(0x0409);
        QvPlatformTest::SetFakeFileTime(kStartFileTime);
        SetLogDirectory((dataDir + "qvlogs\\qvbuitray").c_str());
        char stamp[kQvTimeTextBufferSize];
        FormatTimeMillis(stamp, GetCurrentTimeMillis());
        QvString path;
        GetLogFilePath(std::atoi(stamp + 8), &path);
        logPath = path.GetText();
        QvBuiTray::instance = GetModuleHandleW(nullptr);
        QvBuiTray::trayWindowProcedure = QvBuiTrayWndProc;
    }

    void TearDown() override {
        SetLogDirectory(nullptr);
        QvPlatformTest::UseRealClock();
        QvPlatformTest::SetFakeUiLanguage(0);
        delete root;
    }
};

::testing::Environment* const trayEnvironment = ::testing::AddGlobalTestEnvironment(new TrayEnvironment);

int RecordMenu(HMENU menu, UINT flags, int, int, HWND owner) {
    QvBuiTrayMenuShow show = {owner, flags, {}, {}};
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[256] = {};
        GetMenuStringW(menu, UINT(i), text, 256, MF_BYPOSITION);
        show.ids.push_back(GetMenuItemID(menu, i));
        show.labels.push_back((GetMenuState(menu, UINT(i), MF_BYPOSITION) & MF_SEPARATOR) ? "-"
                                                                                         : QvBuiTrayTestEnv::Utf8(text));
    }
    QvBuiTrayRecord::menuShows.push_back(show);
    return QvBuiTrayRecord::menuAnswer;
}

bool RecordLaunch(const QvString* commandLine) {
    QvBuiTrayRecord::launches.push_back(commandLine->GetText());
    return true;
}

}  // namespace

namespace QvBuiTrayTestEnv {

std::string ControlPanel(const std::string& argument) { return "\"" + installDir + "qvbui.exe\" " + argument; }

void WriteHostInfo(const std::string& attributes) {
    WriteOrRemove(dataDir + "qvreports\\qvdc_synchostinfo.xml",
                  attributes.empty() ? "" : "<?xml version=\"1.0\"?>\n<qvdc_synchostinfo " + attributes + " />\n");
}

void SetHideIcon(bool hidden) { WriteHostInfo(hidden ? "hide_icon=\"true\"" : ""); }

void WriteLocaleSetting(const std::string& locale) {
    WriteOrRemove(dataDir + "qvinfo.xml",
                  locale.empty() ? "" : "<qvinfo>\n<qvcontrolpanel qvui_locale=\"" + locale + "\" />\n</qvinfo>\n");
}

// Little-endian: status (4 bytes, 4 spare), units done (8), units in total (8), 8 spare.
void WriteSendLogsRecord(uint32_t status, uint64_t done, uint64_t total) {
    std::string record(32, '\0');
    for (int i = 0; i < 8; ++i) {
        record[size_t(i)] = char(i < 4 ? status >> (8 * i) : 0);
        record[size_t(8 + i)] = char(done >> (8 * i));
        record[size_t(16 + i)] = char(total >> (8 * i));
    }
    WriteOrRemove(tempDir + "qv_sendlogs_ststus.shm", status == 0 ? "" : record);
}

// Lines are "<19-character time> <pid in 10 columns> - <message>".
std::vector<std::string> ReadLogSinceMark() {
    std::vector<std::string> messages;
    std::string content;
    if (!QvTestFs::ReadFile(logPath, &content))
        return messages;
    for (size_t position = logMark; position < content.size();) {
        size_t end = std::min(content.find('\n', position), content.size());
        size_t start = std::min(position + 33, end);
        messages.push_back(content.substr(start, end - start));
        position = end + 1;
    }
    return messages;
}

// A modify without flags succeeds only while the shell holds the icon.
bool IsIconShown(HWND window) {
    NOTIFYICONDATAW probe = {};
    probe.cbSize = sizeof(probe);
    probe.hWnd = window;
    probe.uID = 110;
    return Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
}

bool TakeQuitMessage(int* code) {
    MSG message;
    bool found = false;
    while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        found = true;
        *code = int(message.wParam);
    }
    return found;
}

void SetControlKeyHeld(bool held) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = keys[VK_LCONTROL] = held ? 0x80 : 0;
    SetKeyboardState(keys);
}

std::string Utf8(const std::wstring& text) {
    std::string utf8(text.size() * 3, '\0');
    utf8.resize(size_t(
        WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &utf8[0], int(utf8.size()), nullptr, nullptr)));
    return utf8;
}

}  // namespace QvBuiTrayTestEnv

namespace QvBuiTrayRecord {
int menuAnswer = 0;
std::vector<QvBuiTrayMenuShow> menuShows;
std::vector<std::string> launches;
}  // namespace QvBuiTrayRecord

void QvBuiTrayTest::SetUp() {
    using namespace QvBuiTray;
    clickState = kQvBuiTrayClickIdle;
    showSendLogsItem = false;
    timerId = 0;
    trayWindow = nullptr;
    ZeroMemory(&trayIconData, sizeof(trayIconData));
    lastHidden = false;
    firstVisibilityCheckTime = GetCurrentTimeMillis() / 1000;  // running for a while: ticks leave the icon be

    QvSystemTest::ResetLocaleOverride();
    QvBuiTrayTestEnv::WriteHostInfo("");
    QvBuiTrayTestEnv::WriteLocaleSetting("");
    QvBuiTrayTestEnv::WriteSendLogsRecord(0, 0, 0);
    QvBuiTrayTestEnv::SetControlKeyHeld(false);
    QvBuiTrayRecord::menuAnswer = 0;
    QvBuiTrayRecord::menuShows.clear();
    QvBuiTrayRecord::launches.clear();
    QvBuiTraySeams::trackMenu = RecordMenu;
    QvBuiTraySeams::runCommand = RecordLaunch;

    mainWindow = CreateWindowExW(0, L"STATIC", L"main", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(nullptr, mainWindow);
    std::string content;
    logMark = QvTestFs::ReadFile(logPath, &content) ? content.size() : 0;
}

void QvBuiTrayTest::TearDown() {
    using namespace QvBuiTray;
    QvBuiTraySeams::trackMenu = QvBuiTraySeams::TrackMenuWithPlatform;
    QvBuiTraySeams::runCommand = QvBuiTraySeams::RunCommandWithPlatform;
    QvBuiTrayTestEnv::SetControlKeyHeld(false);
    if (trayIconData.cbSize != 0)
        Shell_NotifyIconW(NIM_DELETE, &trayIconData);
    if (trayWindow)
        DestroyWindow(trayWindow);
    DestroyWindow(mainWindow);
    int code;
    QvBuiTrayTestEnv::TakeQuitMessage(&code);
}
