// Whole-program scenarios: the real qvbuitray.exe started under a prepared install and
// data directory, judged only from outside: its log, its exit code, its windows, whether
// the shell holds its icon, and the command lines that the stand-in control panel
// recorded. Every wait is for something the program does, bounded by a ceiling that only
// a hang reaches, never by a budget tuned on a quiet machine. One running program serves
// the TrayRunning scenarios in order (a start costs a second or two under Wine).
#include "QvTrayControl.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace QvTrayControl;

namespace {

constexpr const char* kVersionLine = "qvbuitray starting up, version: 9.2.2.897";
constexpr const char* kEndLine = "qvbuitray END";
constexpr const char* kRemovalError = "ERROR: RemoveQvBuiIconFromSystemTray failed";
constexpr DWORD kStartTimeoutMs = 180000;  // a first start in a cold prefix takes 10-15 s
constexpr DWORD kStepTimeoutMs = 120000;

std::string Narrow(const std::wstring& wide) {
    std::string utf8(wide.size() * 3, '\0');
    utf8.resize(size_t(WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), &utf8[0], int(utf8.size()),
                                           nullptr, nullptr)));
    return utf8;
}

// The build hands over host paths; under Wine the host's root is drive Z:.
std::wstring HostPath(const char* path) {
    std::wstring wide(path, path + strlen(path));
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    return wide[0] == L'\\' ? L"Z:" + wide : wide;
}

std::vector<std::string> ReadLines(const std::wstring& path) {
    std::vector<std::string> lines;
    if (FILE* file = _wfopen(path.c_str(), L"rb")) {
        char buffer[4096];
        while (fgets(buffer, sizeof(buffer), file))
            lines.push_back(std::string(buffer, strcspn(buffer, "\n")));
        fclose(file);
    }
    return lines;
}

bool WriteWholeFile(const std::wstring& path, const std::string& content) {
    FILE* file = _wfopen(path.c_str(), L"wb");
    bool ok = file && fwrite(content.data(), 1, content.size(), file) == content.size();
    return file && fclose(file) == 0 && ok;
}

// The registry value the programs read their install directory from; the prefix's own
// value is put back after the scenarios.
class InstallDirValue : public ::testing::Environment {
public:
    static bool Set(const std::wstring& value) {
        return RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\Velbrook", L"installdir", REG_SZ, value.c_str(),
                               DWORD((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    void SetUp() override {
        SetEnvironmentVariableW(L"QV_STANDIN_SHOW", nullptr);  // the stand-in stays silent
        wchar_t buffer[4096];
        DWORD size = sizeof(buffer);
        had_ = RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Velbrook", L"installdir", RRF_RT_REG_SZ, nullptr, buffer,
                            &size) == ERROR_SUCCESS;
        saved_ = had_ ? buffer : L"";
    }
    void TearDown() override {
        if (had_)
            Set(saved_);
        else
            RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\Velbrook", L"installdir");
    }

private:
    bool had_ = false;
    std::wstring saved_;
};
const ::testing::Environment* const kInstallDirValue = ::testing::AddGlobalTestEnvironment(new InstallDirValue);

// A settings file like the one the client writes, complete enough that reading it logs
// no complaint.
const char* const kSettingsXml =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<qvinfo numdays_warn_if_no_backup=\"5\" qvlogin=\"e2e@example.com\" online_hostname=\"none\"\n"
    "  qvui_locale=\"default\" excludefiletypes=\".tmp,.bak\" smartwatchfilesets=\"Documents\"\n"
    "  net_auto_throttle=\"false\" num_backup_threads=\"2\" scratch_mountpoint=\"C:\\\"\n"
    "  scratch_vol_guid=\"v00000000000000000000000000a\">\n"
    "  <filesetdef filesetname=\"Documents\" extensions=\"doc,docx,txt,pdf\" />\n"
    "  <do_backup>\n"
    "    <qvdirfilter dir=\"C:\\Users\\Demo\\Documents\\\" whichfiles=\"smartwatchfilesets\" />\n"
    "  </do_backup>\n"
    "  <qvvolume qvVolumeGuid=\"v00000000000000000000000000c\" mountPointPath=\"C:\\\" />\n"
    "</qvinfo>\n";

// An install and a data directory in a fresh temporary folder, kept when a scenario failed.
class Installation {
public:
    explicit Installation(bool withControlPanel) {
        wchar_t temp[MAX_PATH], name[64];
        static int serial = 0;
        GetTempPathW(MAX_PATH, temp);
        swprintf(name, 64, L"qv-e2e-%lu-%d", GetCurrentProcessId(), ++serial);
        root = std::wstring(temp) + name;
        install = root + L"\\install";
        data = root + L"\\data";
        for (const std::wstring& directory : {root, install, data, data + L"\\qvreports"})
            CreateDirectoryW(directory.c_str(), nullptr);
        ready = WriteWholeFile(install + L"\\qvinstall.xml", "<qvinstall datadir=\"" + Narrow(data) +
                                                                 "\" hguid=\"e2e0000000000000000000aa\" />\n") &&
                CopyFileW(HostPath(QV_E2E_INTERFACE_XML).c_str(), (install + L"\\qvbui_interface.xml").c_str(), FALSE) &&
                WriteWholeFile(data + L"\\qvinfo.xml", kSettingsXml) && SetHideIcon(false) &&
                (!withControlPanel ||
                 CopyFileW(HostPath(QV_E2E_STANDIN_EXE).c_str(), (install + L"\\qvbui.exe").c_str(), FALSE));
    }
    ~Installation() {
        if (keep)
            return;
        std::wstring from = root + L'\0';  // the list of paths ends with an empty one
        SHFILEOPSTRUCTW operation = {};
        operation.wFunc = FO_DELETE;
        operation.pFrom = from.c_str();
        operation.fFlags = FOF_NO_UI;
        SHFileOperationW(&operation);
    }

    bool SetHideIcon(bool hide) const {
        return WriteWholeFile(data + L"\\qvreports\\qvdc_synchostinfo.xml",
                              std::string("<qvdc_synchostinfo hide_icon=\"") + (hide ? "true" : "false") +
                                  "\" enable_check_for_updates=\"true\" />\n");
    }
    std::string CommandLine(const std::string& argument) const {
        return "\"" + Narrow(install) + "\\qvbui.exe\" " + argument;
    }
    // Argument strings the stand-in control panel received, in order.
    std::vector<std::string> Calls() const { return ReadLines(install + L"\\qvbui_calls.txt"); }

    // The messages of one process's lines "YYYY-MM-DD HH:MM:SS %10d - text" in the day
    // files (a run across midnight UTC spans two).
    std::vector<std::string> LogOf(unsigned long processId) const {
        std::wstring directory = data + L"\\qvlogs\\qvbuitray\\";
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((directory + L"qvbuitray*.log").c_str(), &found);
        for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found))
            names.push_back(found.cFileName);
        FindClose(search);
        std::sort(names.begin(), names.end());
        std::vector<std::string> texts;
        for (const std::wstring& name : names)
            for (const std::string& line : ReadLines(directory + name))
                if (line.size() >= 33 && std::strtoul(line.substr(19, 11).c_str(), nullptr, 10) == processId)
                    texts.push_back(line.substr(33));
        return texts;
    }
    size_t Count(unsigned long processId, const std::string& text) const {
        std::vector<std::string> log = LogOf(processId);
        return size_t(std::count(log.begin(), log.end(), text));
    }
    bool WaitForLog(unsigned long processId, const std::string& text) const {
        return WaitUntil(kStepTimeoutMs, [&] { return Count(processId, text) > 0; });
    }

    std::wstring root, install, data;
    bool ready = false, keep = false;
};

// A started program, ended at the latest with this object.
class Process {
public:
    bool Start(const Installation& installation, const std::wstring& program = HostPath(QV_E2E_TRAY_EXE)) {
        std::wstring commandLine = L"\"" + program + L"\"";
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info;
        if (!InstallDirValue::Set(installation.install) ||
            !CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                            installation.root.c_str(), &startup, &info))
            return false;
        CloseHandle(info.hThread);
        handle = info.hProcess;
        id = info.dwProcessId;
        startTick = GetTickCount();
        return true;
    }
    ~Process() {
        if (Running())
            TerminateProcess(handle, 99);
        if (handle)
            CloseHandle(handle);
    }
    DWORD Elapsed() const { return GetTickCount() - startTick; }
    bool Running() const { return handle && WaitForSingleObject(handle, 0) == WAIT_TIMEOUT; }
    // The exit code, or -1000 when the program still runs after the wait.
    int WaitForExit(DWORD timeoutMs) const {
        DWORD code = 0;
        return handle && WaitForSingleObject(handle, timeoutMs) == WAIT_OBJECT_0 && GetExitCodeProcess(handle, &code)
                   ? int(code)
                   : -1000;
    }

    HANDLE handle = nullptr;
    unsigned long id = 0;
    DWORD startTick = 0;
};

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += "  [" + line + "]\n";
    return text;
}

class TrayRunning : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        installation = new Installation(true);
        tray = new Process;
        startedOk = installation->ready && tray->Start(*installation) && WaitForMainWindow(kStartTimeoutMs);
        windowMs = tray->Elapsed();
        startedOk = startedOk && WaitForIcon(true, kStartTimeoutMs);
        iconMs = tray->Elapsed();
        std::printf("qvbuitray: main window after %lu ms, icon after %lu ms\n", windowMs, iconMs);
    }
    static void TearDownTestSuite() {
        delete tray;
        installation->keep = anyFailure;
        delete installation;
    }
    void SetUp() override {
        ASSERT_TRUE(startedOk) << "qvbuitray did not come up with its windows and icon";
        ASSERT_TRUE(tray->Running()) << "an earlier scenario ended the program";
        callsBefore = installation->Calls().size();
    }
    void TearDown() override {
        anyFailure = anyFailure || HasFailure();
        if (HWND menu = FindOpenMenu())  // left open by a scenario that failed half-way
            CancelMenu(menu);
        WaitForMenuClosed(kStepTimeoutMs);
    }

    static HWND TrayWindow() {
        std::vector<HWND> windows = FindTrayWindows();
        return windows.empty() ? nullptr : windows.front();
    }
    // The control-panel arguments recorded since this scenario began, once count are there.
    std::vector<std::string> NewCalls(size_t count) const {
        WaitUntil(kStepTimeoutMs, [&] { return installation->Calls().size() >= callsBefore + count; });
        std::vector<std::string> calls = installation->Calls();
        return std::vector<std::string>(calls.begin() + long(std::min(callsBefore, calls.size())), calls.end());
    }
    void ChooseFromRightClickMenu(int command) {
        ASSERT_TRUE(PostIconMouseMessage(TrayWindow(), WM_RBUTTONDOWN));
        HWND menu = WaitForMenu(kStepTimeoutMs);
        ASSERT_NE(nullptr, menu) << "no popup menu after the right-button callback";
        ASSERT_TRUE(ChooseMenuEntry(menu, DownPressesForCommand(command, true, false)));
    }

    static Installation* installation;
    static Process* tray;
    static bool startedOk, anyFailure;
    static unsigned long windowMs, iconMs;
    size_t callsBefore = 0;
};

Installation* TrayRunning::installation = nullptr;
Process* TrayRunning::tray = nullptr;
bool TrayRunning::startedOk = false;
bool TrayRunning::anyFailure = false;
unsigned long TrayRunning::windowMs = 0;
unsigned long TrayRunning::iconMs = 0;

TEST_F(TrayRunning, StartsWithItsStartLinesHiddenWindowsAndIcon) {
    std::vector<std::string> log = installation->LogOf(tray->id);
    ASSERT_GE(log.size(), 2u) << Joined(log);
    EXPECT_EQ(" ", log[0]);
    EXPECT_EQ(kVersionLine, log[1]);
    EXPECT_FALSE(IsWindowVisible(FindMainWindow()));
    HWND trayWindow = TrayWindow();
    ASSERT_NE(nullptr, trayWindow);
    EXPECT_FALSE(IsWindowVisible(trayWindow));
    DWORD owner = 0;
    GetWindowThreadProcessId(trayWindow, &owner);
    EXPECT_EQ(tray->id, owner);
    EXPECT_TRUE(IconExists(trayWindow));
}

TEST_F(TrayRunning, SecondCopyWritesThreeLinesExitsWithMinusOneAndLeavesFirstRunning) {
    HWND mainBefore = FindMainWindow();
    Process second;
    ASSERT_TRUE(second.Start(*installation));
    EXPECT_EQ(-1, second.WaitForExit(kStepTimeoutMs));
    EXPECT_EQ((std::vector<std::string>{" ", kVersionLine, "qvbuitray END, other process running"}),
              installation->LogOf(second.id));
    EXPECT_TRUE(tray->Running());
    EXPECT_EQ(mainBefore, FindMainWindow());
    EXPECT_TRUE(AnyIconExists());
    EXPECT_EQ(0u, installation->Count(tray->id, kEndLine));
}

TEST_F(TrayRunning, RightClickOpensMenuAndChoiceLaunchesControlPanelWithItsNumber) {
    ChooseFromRightClickMenu(kCommandRestoreOptions);
    EXPECT_EQ(std::vector<std::string>{"-menu 6"}, NewCalls(1));
    std::string commandLine = installation->CommandLine("-menu 6");
    EXPECT_TRUE(installation->WaitForLog(tray->id, "Invoke qvbui.exe, QvSystem::RunCommand: " + commandLine))
        << Joined(installation->LogOf(tray->id));
    EXPECT_EQ(1u, installation->Count(tray->id, "About to async run -menu with cmd: " + commandLine));
}

TEST_F(TrayRunning, LeftClickOpensMenuOnTimerTickAndDoubleClickLaunchesHomeInstead) {
    ASSERT_TRUE(PostIconMouseMessage(TrayWindow(), WM_LBUTTONDOWN));
    HWND menu = WaitForMenu(kStepTimeoutMs);
    ASSERT_NE(nullptr, menu) << "no popup menu after a single left press";
    ASSERT_TRUE(CancelMenu(menu));
    ASSERT_TRUE(WaitForMenuClosed(kStepTimeoutMs));

    // Press, release and double click, all before the tick that would open the menu.
    ASSERT_TRUE(PostIconMouseMessageBurst(TrayWindow(), {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK}));
    EXPECT_EQ(std::vector<std::string>{"-menu 1"}, NewCalls(1)) << "the cancelled menu launched nothing";
    EXPECT_TRUE(installation->WaitForLog(tray->id, "tray double click"));
    EXPECT_EQ(nullptr, WaitForMenu(600)) << "the pending single click opened a menu";
}

TEST_F(TrayRunning, TaskbarCreatedBroadcastAddsIconAgain) {
    // wine: the shell never broadcasts "TaskbarCreated" here, so the test plays the
    // restarted shell: the icon vanishes, then the broadcast announces the new taskbar.
    HWND trayWindow = TrayWindow();
    ASSERT_TRUE(DeleteIcon(trayWindow));
    ASSERT_FALSE(IconExists(trayWindow));
    ASSERT_TRUE(BroadcastTaskbarCreated());
    EXPECT_TRUE(WaitUntil(kStepTimeoutMs, [&] { return IconExists(trayWindow); }));
}

TEST_F(TrayRunning, HideSettingRemovesIconOnlyAfterTenSeconds) {
    ASSERT_TRUE(installation->SetHideIcon(true));
    // The setting is read again only once more than ten whole seconds have passed since
    // the first tick. That tick comes after the start, and this test may have seen the
    // window late on a loaded machine, so the start is the bound that always holds.
    const DWORD earliestRemovalMs = 10000;
    if (tray->Elapsed() + 1500 < earliestRemovalMs) {
        Sleep(1000);
        EXPECT_TRUE(AnyIconExists()) << "the hide setting was read before the 10-second mark";
    }
    // The change comes at the first tick after the mark (a loaded machine delays ticks, so
    // only the lower bound is exact).
    EXPECT_TRUE(WaitForIcon(false, kStepTimeoutMs)) << "icon still shown " << tray->Elapsed() << " ms after start";
    EXPECT_GE(tray->Elapsed(), earliestRemovalMs);
    EXPECT_NE(nullptr, TrayWindow()) << "the tray window stays when the icon is hidden";
}

TEST_F(TrayRunning, QuitFromMenuLaunchesQuitArgumentAndEndsProgram) {
    bool iconShown = AnyIconExists();
    ChooseFromRightClickMenu(kCommandQuit);
    EXPECT_EQ(0, tray->WaitForExit(kStepTimeoutMs)) << "Quit did not end the program with 0";
    EXPECT_EQ(std::vector<std::string>{"-quitqvbui"}, NewCalls(1));
    std::vector<std::string> log = installation->LogOf(tray->id);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(kEndLine, log.back());
    EXPECT_EQ(1, std::count(log.begin(), log.end(),
                            "About to async run -menu with cmd: " + installation->CommandLine("-quitqvbui")));
    // With the icon already hidden, the removal at exit fails and says so. Any other ERROR
    // line (a label or file not found) is a fault.
    EXPECT_EQ(iconShown ? 0 : 1, std::count(log.begin(), log.end(), kRemovalError)) << Joined(log);
    for (const std::string& line : log)
        EXPECT_TRUE(line.rfind("ERROR", 0) != 0 || line == kRemovalError) << line;
    EXPECT_EQ(nullptr, FindMainWindow());
    EXPECT_FALSE(AnyIconExists());
}

TEST(TrayWithoutControlPanel, LaunchFailureLogsWarningAndExitCommandEndsCleanly) {
    Installation installation(false);
    ASSERT_TRUE(installation.ready);
    Process tray;
    ASSERT_TRUE(tray.Start(installation));
    ASSERT_NE(nullptr, WaitForMainWindow(kStartTimeoutMs));
    ASSERT_TRUE(WaitForIcon(true, kStartTimeoutMs));
    ASSERT_TRUE(PostIconMouseMessage(FindTrayWindows().front(), WM_LBUTTONDBLCLK));
    EXPECT_TRUE(installation.WaitForLog(
        tray.id, "WARNING: QvSystem::RunCommand qvbui.exe failed for: " + installation.CommandLine("-menu 1")))
        << Joined(installation.LogOf(tray.id));
    EXPECT_TRUE(tray.Running());

    ASSERT_TRUE(PostMessageW(FindMainWindow(), WM_COMMAND, kExitCommand, 0));
    EXPECT_EQ(0, tray.WaitForExit(kStepTimeoutMs));
    std::vector<std::string> log = installation.LogOf(tray.id);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(kEndLine, log.back());
    EXPECT_EQ(0, std::count(log.begin(), log.end(), kRemovalError));
    EXPECT_FALSE(AnyIconExists());
    installation.keep = HasFailure();
}

// The log directory deleted from outside while the program runs: its lines are lost
// quietly (nothing makes the directory again), yet a right click and a menu choice still
// launch the control panel with the chosen argument, and Quit still ends the program
// with 0.
TEST(TrayWithoutLogDirectory, MenuStillLaunchesControlPanelAndQuitEndsCleanly) {
    Installation installation(true);
    ASSERT_TRUE(installation.ready);
    Process tray;
    ASSERT_TRUE(tray.Start(installation));
    ASSERT_NE(nullptr, WaitForMainWindow(kStartTimeoutMs));
    ASSERT_TRUE(WaitForIcon(true, kStartTimeoutMs));
    ASSERT_TRUE(installation.WaitForLog(tray.id, kVersionLine));

    // The program appends and closes the file for every line, so the files can go; a
    // delete that meets a line being written is tried again.
    const std::wstring logDir = installation.data + L"\\qvlogs\\qvbuitray";
    auto removeLogDir = [&] {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((logDir + L"\\*").c_str(), &found);
        for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found))
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW((logDir + L"\\" + found.cFileName).c_str());
        FindClose(search);
        return RemoveDirectoryW(logDir.c_str()) != 0;
    };
    ASSERT_TRUE(WaitUntil(kStepTimeoutMs, removeLogDir)) << "the log directory could not be deleted";

    for (int command : {kCommandRestoreOptions, kCommandQuit}) {
        HWND trayWindow = WaitForTrayWindow(kStepTimeoutMs);
        ASSERT_TRUE(PostIconMouseMessage(trayWindow, WM_RBUTTONDOWN));
        HWND menu = WaitForMenu(kStepTimeoutMs);
        ASSERT_NE(nullptr, menu) << "no popup menu after the right-button callback";
        ASSERT_TRUE(ChooseMenuEntry(menu, DownPressesForCommand(command, true, false)));
        if (command == kCommandRestoreOptions) {
            EXPECT_TRUE(WaitUntil(kStepTimeoutMs, [&] { return installation.Calls().size() >= 1; }));
        }
    }
    EXPECT_EQ(0, tray.WaitForExit(kStepTimeoutMs)) << "Quit did not end the program with 0";
    WaitUntil(kStepTimeoutMs, [&] { return installation.Calls().size() >= 2; });
    EXPECT_EQ((std::vector<std::string>{"-menu 6", "-quitqvbui"}), installation.Calls());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(logDir.c_str())) << "the log directory came back";
    EXPECT_EQ(nullptr, FindMainWindow());
    EXPECT_FALSE(AnyIconExists());
    installation.keep = HasFailure();
}

}  // namespace
