// Test support of the tray program's in-process tests (see the header).
#include "QvBuiTrayTestSupport.h"

#include <cstdlib>
#include <cstring>

#include "QvBuiTraySeams.h"
#include "QvBuiTrayState.h"
#include "QvTempDir.h"
#include "QvTestSystem.h"
#include "config/QvUiUtilTestHooks.h"
#include "platform/QvPlatformClock.h"
#include "qvbase/QvLog.h"
#include "qvbase/QvString.h"
#include "qvbase/QvSystem.h"
#include "qvbase/QvTime.h"
#include "system/QvSystemTestHooks.h"

namespace {

// 2024-03-05 10:00:00 UTC: mid-month and mid-day, so that moving the clock by seconds
// never changes the day's log file.
const uint64_t kStartFileTime = (1709632800000ull + 11644473600000ull) * 10000ull;

// Every text the menu asks for, in two languages. The French texts carry non-ASCII
// letters so that the conversion to the menu's UTF-16 is seen.
const char* const kInterfaceXml =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<qvbui_texts>\n"
    "<qvbui_text lang=\"en_US\"\n"
    " TrayMenuItem_VelbrookControlPanel=\"Open Velbrook\"\n"
    " TrayMenuItem_Help=\"Help\"\n"
    " TrayMenuItem_CheckForUpdates=\"Check for Updates\"\n"
    " TrayMenuItem_Inherit=\"Inherit a Backup\"\n"
    " MainDialog_Button_RestoreOptions=\"Restore Options\"\n"
    " TrayMenuItem_About=\"About Velbrook\"\n"
    " TrayMenuItem_Quit=\"Quit\"\n"
    " SendLogsMenu_Text=\"Send Logs\"\n"
    " SendLogsMenu_Status_Preparing=\"Preparing logs (%u%%)\"\n"
    " SendLogsMenu_Status_Sending=\"Sending logs (%u%%)\"\n"
    "/>\n"
    "<qvbui_text lang=\"fr_FR\"\n"
    " TrayMenuItem_VelbrookControlPanel=\"Ouvrir Velbrook\"\n"
    " TrayMenuItem_Help=\"Aide\"\n"
    " TrayMenuItem_CheckForUpdates=\"Rechercher des mises \xC3\xA0 jour\"\n"
    " TrayMenuItem_Inherit=\"H\xC3\xA9riter d'une sauvegarde\"\n"
    " MainDialog_Button_RestoreOptions=\"Options de restauration\"\n"
    " TrayMenuItem_About=\"\xC3\x80 propos de Velbrook\"\n"
    " TrayMenuItem_Quit=\"Quitter\"\n"
    " SendLogsMenu_Text=\"Envoyer les journaux\"\n"
    " SendLogsMenu_Status_Preparing=\"Pr\xC3\xA9paration des journaux (%u%%)\"\n"
    " SendLogsMenu_Status_Sending=\"Envoi des journaux (%u%%)\"\n"
    "/>\n"
    "</qvbui_texts>\n";

QvTempDir* root = nullptr;
std::string installDir;
std::string dataDir;
std::string tempDir;
std::string logPath;
size_t logMark = 0;

std::wstring Wide(const std::string& utf8) {
    int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring wide(size_t(units), L'\0');
    if (units > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), &wide[0], units);
    return wide;
}

// The registry value the tray reads its install directory from. The test process
// settles its install directory once, right after writing the value, and then puts the
// previous value back so that other programs of the prefix see no change.
const uint32_t kRegistryRoot = QvSystem::kRegistryRootLocalMachine;
const char* const kRegistryKey = "Software\\Velbrook";
const char* const kRegistryValue = "installdir";

bool ReadPreviousInstallDir(std::string* value) {
    wchar_t buffer[1024];
    DWORD bytes = sizeof(buffer);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Velbrook", L"installdir", RRF_RT_REG_SZ, nullptr, buffer,
                     &bytes) != ERROR_SUCCESS)
        return false;
    *value = Utf8(buffer);
    return true;
}

class TrayEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        root = new QvTempDir();
        ASSERT_TRUE(root->IsValid());
        installDir = root->MakeDir("install") + "\\";
        dataDir = root->MakeDir("data") + "\\";
        tempDir = root->MakeDir("tmp") + "\\";
        root->MakeDir("data\\qvreports");
        // The send-logs record is looked for in the temporary folder; keep it private.
        ASSERT_TRUE(QvTestSystem::SetEnv("TMP", root->Join("tmp")));
        ASSERT_TRUE(QvTestSystem::SetEnv("TEMP", root->Join("tmp")));
        root->MakeFile("install\\qvinstall.xml",
                       "<?xml version=\"1.0\"?>\n<qvinstall datadir=\"" + dataDir +
                           "\" hguid=\"0123456789abcdef01234567\"/>\n");
        root->MakeFile("install\\qvbui_interface.xml", kInterfaceXml);

        std::string previous;
        bool hadPrevious = ReadPreviousInstallDir(&previous);
        ASSERT_TRUE(QvTestSystem::WriteRegistryString(kRegistryRoot, kRegistryKey, kRegistryValue, installDir));
        QvSystemTest::ResetDirectoryCaches();
        QvString settled;
        QvSystem::GetInstallDir(&settled);
        if (hadPrevious)
            QvTestSystem::WriteRegistryString(kRegistryRoot, kRegistryKey, kRegistryValue, previous);
        else
            QvTestSystem::DeleteRegistryValue(kRegistryRoot, kRegistryKey, kRegistryValue);
        ASSERT_EQ(installDir, settled.GetText());
        QvString data;
        QvSystem::GetDataDir(&data);
        ASSERT_EQ(dataDir, data.GetText());

        QvUiUtilTest::ResetModule();
        QvSystemTest::SetFakeUiLanguage(0x0409);
        QvPlatformTest::SetFakeFileTime(kStartFileTime);

        std::string logDirectory = dataDir + "qvlogs\\qvbuitray";
        SetLogDirectory(logDirectory.c_str());
        char stamp[kQvTimeTextBufferSize];
        FormatTimeMillis(stamp, GetCurrentTimeMillis());
        QvString path;
        GetLogFilePath(std::atoi(stamp + 8), &path);
        logPath = path.GetText();

        QvBuiTray::instance = GetModuleHandleW(nullptr);
    }

    void TearDown() override {
        SetLogDirectory(nullptr);
        QvPlatformTest::UseRealClock();
        QvSystemTest::SetFakeUiLanguage(0);
        delete root;
        root = nullptr;
    }
};

::testing::Environment* const trayEnvironment = ::testing::AddGlobalTestEnvironment(new TrayEnvironment);

int RecordMenu(HMENU menu, UINT flags, int x, int y, HWND owner);
bool RecordLaunch(const QvString* commandLine);

}  // namespace

std::string Utf8(const std::wstring& text) {
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(size_t(bytes), '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &utf8[0], bytes, nullptr, nullptr);
    return utf8;
}

namespace QvBuiTrayTestEnv {

const std::string& GetInstallDir() { return installDir; }
const std::string& GetDataDir() { return dataDir; }

void RemoveHostInfo() { DeleteFileW(Wide(dataDir + "qvreports\\qvdc_synchostinfo.xml").c_str()); }

void WriteHostInfo(const std::string& attributes) {
    ASSERT_TRUE(QvTestFs::WriteFile(dataDir + "qvreports\\qvdc_synchostinfo.xml",
                                    "<?xml version=\"1.0\"?>\n<qvdc_synchostinfo " + attributes + " />\n"));
}

void SetHideIcon(bool hidden) {
    if (hidden)
        WriteHostInfo("hide_icon=\"true\"");
    else
        RemoveHostInfo();
}

void WriteLocaleSetting(const std::string& locale) {
    std::string path = dataDir + "qvinfo.xml";
    if (locale.empty()) {
        DeleteFileW(Wide(path).c_str());
        return;
    }
    ASSERT_TRUE(QvTestFs::WriteFile(path, "<?xml version=\"1.0\"?>\n<qvinfo>\n<qvcontrolpanel qvui_locale=\"" +
                                              locale + "\" />\n</qvinfo>\n"));
}

void WriteSendLogsRecord(uint32_t status, uint64_t done, uint64_t total, int32_t errorCode) {
    unsigned char record[32] = {};
    for (int i = 0; i < 4; ++i)
        record[i] = static_cast<unsigned char>(status >> (8 * i));
    for (int i = 0; i < 8; ++i) {
        record[8 + i] = static_cast<unsigned char>(done >> (8 * i));
        record[16 + i] = static_cast<unsigned char>(total >> (8 * i));
    }
    for (int i = 0; i < 4; ++i)
        record[28 + i] = static_cast<unsigned char>(static_cast<uint32_t>(errorCode) >> (8 * i));
    ASSERT_TRUE(QvTestFs::WriteFile(tempDir + "qv_sendlogs_ststus.shm",
                                    std::string(reinterpret_cast<const char*>(record), sizeof(record))));
}

void RemoveSendLogsRecord() { DeleteFileW(Wide(tempDir + "qv_sendlogs_ststus.shm").c_str()); }

void MarkLog() {
    std::string content;
    logMark = QvTestFs::ReadFile(logPath, &content) ? content.size() : 0;
}

std::vector<std::string> ReadLogSinceMark() {
    std::vector<std::string> messages;
    std::string content;
    if (!QvTestFs::ReadFile(logPath, &content) || content.size() < logMark)
        return messages;
    size_t position = logMark;
    while (position < content.size()) {
        size_t end = content.find('\n', position);
        if (end == std::string::npos)
            end = content.size();
        std::string line = content.substr(position, end - position);
        // "<19-character time> <pid in 10 columns> - <message>"
        const size_t kPrefix = 19 + 11 + 3;
        messages.push_back(line.size() >= kPrefix ? line.substr(kPrefix) : line);
        position = end + 1;
    }
    return messages;
}

bool LogContains(const std::vector<std::string>& lines, const std::string& message) {
    for (const std::string& line : lines) {
        if (line == message)
            return true;
    }
    return false;
}

bool IsIconShown(HWND window) {
    NOTIFYICONDATAW probe = {};
    probe.cbSize = sizeof(probe);
    probe.hWnd = window;
    probe.uID = kQvBuiTrayIconId;
    probe.uFlags = 0;
    return Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
}

bool TakeQuitMessage(int* code) {
    MSG message;
    bool found = false;
    while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        found = true;
        if (code)
            *code = static_cast<int>(message.wParam);
    }
    return found;
}

void SetControlKeyHeld(bool held) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = held ? 0x80 : 0;
    keys[VK_LCONTROL] = held ? 0x80 : 0;
    SetKeyboardState(keys);
}

}  // namespace QvBuiTrayTestEnv

QvBuiTrayMenuShow DescribeMenu(HMENU menu, HWND owner, UINT flags) {
    QvBuiTrayMenuShow show;
    show.owner = owner;
    show.flags = flags;
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_ID;
        GetMenuItemInfoW(menu, UINT(i), TRUE, &info);
        show.ids.push_back(info.wID);
        wchar_t text[256] = {};
        if (info.fType & MFT_SEPARATOR)
            show.texts.push_back(L"-");
        else if (GetMenuStringW(menu, UINT(i), text, 256, MF_BYPOSITION) >= 0)
            show.texts.push_back(text);
    }
    return show;
}

namespace QvBuiTrayRecord {
int menuAnswer = 0;
std::vector<QvBuiTrayMenuShow> menuShows;
std::vector<std::string> launches;
bool launchResult = true;
}  // namespace QvBuiTrayRecord

namespace {
int RecordMenu(HMENU menu, UINT flags, int x, int y, HWND owner) {
    (void)x;
    (void)y;
    QvBuiTrayRecord::menuShows.push_back(DescribeMenu(menu, owner, flags));
    return QvBuiTrayRecord::menuAnswer;
}

bool RecordLaunch(const QvString* commandLine) {
    QvBuiTrayRecord::launches.push_back(commandLine->GetText());
    return QvBuiTrayRecord::launchResult;
}
}  // namespace

void QvBuiTrayTest::SetUp() {
    using namespace QvBuiTray;
    clickState = kQvBuiTrayClickIdle;
    showSendLogsItem = false;
    timerId = 0;
    trayWindow = nullptr;
    ZeroMemory(&trayIconData, sizeof(trayIconData));
    lastHidden = false;
    // As a program that has been running for a while: ticks leave the icon alone.
    firstVisibilityCheckTime = GetCurrentTimeMillis() / 1000;

    QvSystemTest::ResetLocaleOverride();
    QvBuiTrayTestEnv::RemoveHostInfo();
    QvBuiTrayTestEnv::WriteLocaleSetting("");
    QvBuiTrayTestEnv::RemoveSendLogsRecord();
    QvBuiTrayTestEnv::SetControlKeyHeld(false);

    QvBuiTrayRecord::menuAnswer = 0;
    QvBuiTrayRecord::menuShows.clear();
    QvBuiTrayRecord::launches.clear();
    QvBuiTrayRecord::launchResult = true;
    QvBuiTraySeams::trackMenu = RecordMenu;
    QvBuiTraySeams::runCommand = RecordLaunch;

    mainWindow = CreateWindowExW(0, L"STATIC", L"main", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(nullptr, mainWindow);
    QvBuiTrayTestEnv::MarkLog();
}

void QvBuiTrayTest::TearDown() {
    using namespace QvBuiTray;
    QvBuiTraySeams::trackMenu = QvBuiTraySeams::TrackMenuWithPlatform;
    QvBuiTraySeams::runCommand = QvBuiTraySeams::RunCommandWithPlatform;
    QvBuiTrayTestEnv::SetControlKeyHeld(false);
    if (trayIconData.cbSize != 0)
        Shell_NotifyIconW(NIM_DELETE, &trayIconData);
    if (trayWindow && IsWindow(trayWindow))
        DestroyWindow(trayWindow);
    if (mainWindow)
        DestroyWindow(mainWindow);
    QvBuiTrayTestEnv::TakeQuitMessage(nullptr);
}
