// Whole-program scenarios: the real qvbuitray.exe started under a prepared install and
// data directory, judged only by what can be seen from outside: its log, its exit code,
// its windows, whether the shell holds its icon, and the command lines that the stand-in
// control panel recorded. Every wait is bounded.
//
// One running program serves the TrayRunning scenarios in order (a start costs a second
// or two under Wine); each of them still checks only what it caused itself.
#include "QvTrayControl.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace QvTrayControl;

namespace {

constexpr const char* kVersionLine = "qvbuitray starting up, version: 9.2.2.897";
constexpr const char* kEndLine = "qvbuitray END";
constexpr const char* kOtherProcessLine = "qvbuitray END, other process running";
constexpr const wchar_t* kRegistryKey = L"Software\\Velbrook";
constexpr const wchar_t* kRegistryValue = L"installdir";
constexpr DWORD kStartTimeoutMs = 15000;
constexpr DWORD kStepTimeoutMs = 5000;

// ---- Text and files ------------------------------------------------------------------

std::wstring Widen(const std::string& utf8) {
    if (utf8.empty())
        return std::wstring();
    int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring wide(size_t(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), &wide[0], units);
    return wide;
}

std::string Narrow(const std::wstring& wide) {
    if (wide.empty())
        return std::string();
    int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(size_t(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), &utf8[0], bytes, nullptr, nullptr);
    return utf8;
}

// The build hands over host paths; under Wine the host's root is drive Z:.
std::wstring HostPath(const char* path) {
    std::wstring wide = Widen(path);
    if (!wide.empty() && wide[0] == L'/')
        wide = L"Z:" + wide;
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    return wide;
}

std::string ReadWholeFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::string();
    std::string content;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0)
        content.append(buffer, got);
    CloseHandle(file);
    return content;
}

bool WriteWholeFile(const std::wstring& path, const std::string& content) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(file, content.data(), DWORD(content.size()), &written, nullptr) && written == content.size();
    return CloseHandle(file) && ok;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool RemoveTree(const std::wstring& directory) {
    std::wstring from = directory;
    from.push_back(L'\0');  // the list of paths ends with an empty one
    SHFILEOPSTRUCTW operation;
    ZeroMemory(&operation, sizeof(operation));
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NO_UI;
    return SHFileOperationW(&operation) == 0;
}

// ---- The registry value that names the install directory --------------------------

bool SetInstallDirValue(const std::wstring& installDir) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRegistryKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    LONG result = RegSetValueExW(key, kRegistryValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(installDir.c_str()),
                                 DWORD((installDir.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

// Keeps whatever the prefix held before the scenarios and puts it back afterwards.
class InstallDirValueKeeper : public ::testing::Environment {
public:
    void SetUp() override {
        SetEnvironmentVariableW(L"QV_STANDIN_SHOW", nullptr);  // the stand-in stays silent
        wchar_t buffer[4096];
        DWORD size = sizeof(buffer);
        had_ = RegGetValueW(HKEY_LOCAL_MACHINE, kRegistryKey, kRegistryValue, RRF_RT_REG_SZ, nullptr, buffer,
                            &size) == ERROR_SUCCESS;
        if (had_)
            saved_ = buffer;
    }
    void TearDown() override {
        if (had_) {
            SetInstallDirValue(saved_);
            return;
        }
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRegistryKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            RegDeleteValueW(key, kRegistryValue);
            RegCloseKey(key);
        }
    }

private:
    bool had_ = false;
    std::wstring saved_;
};

const ::testing::Environment* const kInstallDirValueKeeper =
    ::testing::AddGlobalTestEnvironment(new InstallDirValueKeeper);

// ---- A prepared installation ---------------------------------------------------------

struct LogLine {
    unsigned long processId;
    std::string text;
};

// A settings file like the one the client writes, complete enough that reading it logs
// no complaint.
const char* const kSettingsXml =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<qvinfo numdays_warn_if_no_backup=\"5\" qvlogin=\"e2e@example.com\" online_hostname=\"none\"\n"
    "  qvui_locale=\"default\" excludefiletypes=\".tmp,.bak\" smartwatchfilesets=\"Documents\"\n"
    "  net_auto_throttle=\"false\" num_backup_threads=\"2\" scratch_mountpoint=\"C:\\\"\n"
    "  scratch_vol_guid=\"v00000000000000000000000000a\">\n"
    "  <filesetdef filesetname=\"Documents\" extensions=\"doc,docx,txt,pdf\" />\n"
    "  <filesetdef filesetname=\"Photos\" extensions=\"jpg,png\" />\n"
    "  <do_backup>\n"
    "    <qvdirfilter dir=\"C:\\Users\\Demo\\Documents\\\" whichfiles=\"smartwatchfilesets\" />\n"
    "    <qvdirfilter dir=\"C:\\Users\\Demo\\AppData\\\" whichfiles=\"none\" />\n"
    "  </do_backup>\n"
    "  <qvvolume qvVolumeGuid=\"v00000000000000000000000000c\" mountPointPath=\"C:\\\" />\n"
    "</qvinfo>\n";

class Installation {
public:
    explicit Installation(bool withControlPanel) {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        static int serial = 0;
        wchar_t name[64];
        swprintf(name, 64, L"qv-e2e-%lu-%d", GetCurrentProcessId(), ++serial);
        root_ = std::wstring(temp) + name;
        installDir_ = root_ + L"\\install";
        dataDir_ = root_ + L"\\data";
        CreateDirectoryW(root_.c_str(), nullptr);
        CreateDirectoryW(installDir_.c_str(), nullptr);
        CreateDirectoryW(dataDir_.c_str(), nullptr);
        CreateDirectoryW((dataDir_ + L"\\qvreports").c_str(), nullptr);
        ready_ = WriteWholeFile(installDir_ + L"\\qvinstall.xml",
                                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<qvinstall datadir=\"" + Narrow(dataDir_) +
                                    "\" hguid=\"e2e0000000000000000000aa\" />\n") &&
                 CopyFileW(HostPath(QV_E2E_INTERFACE_XML).c_str(), (installDir_ + L"\\qvbui_interface.xml").c_str(),
                           FALSE) &&
                 WriteWholeFile(dataDir_ + L"\\qvinfo.xml", kSettingsXml) && SetHideIcon(false);
        if (withControlPanel)
            ready_ = ready_ && CopyFileW(HostPath(QV_E2E_STANDIN_EXE).c_str(),
                                         (installDir_ + L"\\qvbui.exe").c_str(), FALSE);
    }
    ~Installation() {
        if (!keep_)
            RemoveTree(root_);
    }

    bool Ready() const { return ready_; }
    void KeepForInspection() { keep_ = true; }
    const std::wstring& Root() const { return root_; }
    const std::wstring& InstallDir() const { return installDir_; }

    bool SetHideIcon(bool hide) {
        return WriteWholeFile(dataDir_ + L"\\qvreports\\qvdc_synchostinfo.xml",
                              std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<qvdc_synchostinfo hide_icon=\"") +
                                  (hide ? "true" : "false") + "\" enable_check_for_updates=\"true\" />\n");
    }

    // The command line the tray hands to the control panel for an argument.
    std::string ControlPanelCommandLine(const std::string& argument) const {
        return "\"" + Narrow(installDir_) + "\\qvbui.exe\" " + argument;
    }

    // Argument strings the stand-in control panel received, in order.
    std::vector<std::string> ControlPanelCalls() const {
        return SplitLines(ReadWholeFile(installDir_ + L"\\qvbui_calls.txt"));
    }
    bool WaitForControlPanelCalls(size_t count, DWORD timeoutMs) const {
        return WaitUntil(timeoutMs, [&] { return ControlPanelCalls().size() >= count; });
    }

    // The log lines of one process: "YYYY-MM-DD HH:MM:SS" + " %10d" + " - " + text, in
    // the day files of the log directory.
    std::vector<std::string> LogOf(unsigned long processId) const {
        std::vector<std::string> texts;
        std::wstring directory = dataDir_ + L"\\qvlogs\\qvbuitray\\";
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((directory + L"qvbuitray*.log").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return texts;
        std::vector<std::wstring> names;
        do
            names.push_back(found.cFileName);
        while (FindNextFileW(search, &found));
        FindClose(search);
        std::sort(names.begin(), names.end());  // a run across midnight UTC spans two
        for (const std::wstring& name : names) {
            for (const std::string& line : SplitLines(ReadWholeFile(directory + name))) {
                if (line.size() < 33 || line.compare(30, 3, " - ") != 0)
                    continue;
                if (std::strtoul(line.substr(19, 11).c_str(), nullptr, 10) == processId)
                    texts.push_back(line.substr(33));
            }
        }
        return texts;
    }
    bool WaitForLogText(unsigned long processId, const std::string& text, DWORD timeoutMs) const {
        return WaitUntil(timeoutMs, [&] { return CountLogText(processId, text) > 0; });
    }
    size_t CountLogText(unsigned long processId, const std::string& text) const {
        std::vector<std::string> log = LogOf(processId);
        return size_t(std::count(log.begin(), log.end(), text));
    }

private:
    std::wstring root_;
    std::wstring installDir_;
    std::wstring dataDir_;
    bool ready_ = false;
    bool keep_ = false;
};

// ---- A started program -----------------------------------------------------------------

class Process {
public:
    // Starts a program with the registry pointing at the installation.
    bool Start(const Installation& installation, const std::wstring& program, const std::wstring& arguments = L"") {
        if (!SetInstallDirValue(installation.InstallDir()))
            return false;
        std::wstring commandLine = L"\"" + program + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
        STARTUPINFOW startup;
        ZeroMemory(&startup, sizeof(startup));
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info;
        if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                            installation.Root().c_str(), &startup, &info))
            return false;
        CloseHandle(info.hThread);
        handle_ = info.hProcess;
        id_ = info.dwProcessId;
        startTick_ = GetTickCount();
        return true;
    }
    bool StartTray(const Installation& installation) { return Start(installation, HostPath(QV_E2E_TRAY_EXE)); }

    ~Process() {
        if (handle_ && WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT)
            TerminateProcess(handle_, 99);
        if (handle_)
            CloseHandle(handle_);
    }

    unsigned long Id() const { return id_; }
    DWORD MillisecondsSinceStart() const { return GetTickCount() - startTick_; }
    bool Running() const { return handle_ && WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT; }
    // The exit code, or nothing when the program is still running after the wait.
    bool WaitForExit(DWORD timeoutMs, int* exitCode) {
        if (!handle_ || WaitForSingleObject(handle_, timeoutMs) != WAIT_OBJECT_0)
            return false;
        DWORD code = 0;
        GetExitCodeProcess(handle_, &code);
        *exitCode = int(code);
        return true;
    }

private:
    HANDLE handle_ = nullptr;
    unsigned long id_ = 0;
    DWORD startTick_ = 0;
};

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += "  [" + line + "]\n";
    return text;
}

// ---- One program serving several scenarios ---------------------------------------------

class TrayRunning : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        installation_ = new Installation(true);
        tray_ = new Process;
        startedOk_ = installation_->Ready() && tray_->StartTray(*installation_) &&
                     WaitForMainWindow(kStartTimeoutMs);
        windowMs_ = tray_->MillisecondsSinceStart();
        startedOk_ = startedOk_ && WaitForIcon(true, kStartTimeoutMs);
        iconMs_ = tray_->MillisecondsSinceStart();
        std::printf("qvbuitray: main window after %lu ms, icon after %lu ms\n", windowMs_, iconMs_);
    }
    static void TearDownTestSuite() {
        delete tray_;
        tray_ = nullptr;
        if (anyFailure_)
            installation_->KeepForInspection();
        delete installation_;
        installation_ = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(startedOk_) << "qvbuitray did not come up with its windows and icon";
        ASSERT_TRUE(tray_->Running()) << "an earlier scenario ended the program";
        callsBefore_ = installation_->ControlPanelCalls().size();
    }
    void TearDown() override {
        anyFailure_ = anyFailure_ || HasFailure();
        // A scenario that failed half-way may leave its menu open for the next one.
        if (HWND menu = FindOpenMenu())
            CancelMenu(menu);
        WaitForMenuClosed(kStepTimeoutMs);
    }

    static HWND TrayWindow() {
        std::vector<HWND> windows = FindTrayWindows();
        return windows.empty() ? nullptr : windows.front();
    }
    // The recorded control-panel arguments since this scenario began.
    std::vector<std::string> NewCalls(size_t count) const {
        installation_->WaitForControlPanelCalls(callsBefore_ + count, kStepTimeoutMs);
        std::vector<std::string> calls = installation_->ControlPanelCalls();
        return std::vector<std::string>(calls.begin() + long(std::min(callsBefore_, calls.size())), calls.end());
    }

    static Installation* installation_;
    static Process* tray_;
    static bool startedOk_;
    static bool anyFailure_;
    static unsigned long windowMs_;
    static unsigned long iconMs_;
    size_t callsBefore_ = 0;
};

Installation* TrayRunning::installation_ = nullptr;
Process* TrayRunning::tray_ = nullptr;
bool TrayRunning::startedOk_ = false;
bool TrayRunning::anyFailure_ = false;
unsigned long TrayRunning::windowMs_ = 0;
unsigned long TrayRunning::iconMs_ = 0;

TEST_F(TrayRunning, StartsWithItsStartLinesHiddenWindowsAndIcon) {
    std::vector<std::string> log = installation_->LogOf(tray_->Id());
    ASSERT_GE(log.size(), 2u) << Joined(log);
    EXPECT_EQ(" ", log[0]);
    EXPECT_EQ(kVersionLine, log[1]);
    EXPECT_EQ(0, installation_->CountLogText(tray_->Id(), kEndLine));

    HWND mainWindow = FindMainWindow();
    ASSERT_NE(nullptr, mainWindow);
    EXPECT_FALSE(IsWindowVisible(mainWindow));
    HWND trayWindow = TrayWindow();
    ASSERT_NE(nullptr, trayWindow);
    EXPECT_FALSE(IsWindowVisible(trayWindow));
    DWORD owner = 0;
    GetWindowThreadProcessId(trayWindow, &owner);
    EXPECT_EQ(tray_->Id(), owner);
    EXPECT_TRUE(IconExists(trayWindow));

    // The driver tool used by the demo sees the same icon.
    Process driver;
    ASSERT_TRUE(driver.Start(*installation_, HostPath(QV_E2E_DRIVER_EXE), L"icon-exists"));
    int driverExit = -2;
    ASSERT_TRUE(driver.WaitForExit(kStepTimeoutMs, &driverExit));
    EXPECT_EQ(0, driverExit) << "QvTrayDriver icon-exists: 0 means the icon exists";
}

TEST_F(TrayRunning, SecondCopyWritesThreeLinesExitsWithMinusOneAndLeavesFirstRunning) {
    HWND mainBefore = FindMainWindow();
    Process second;
    ASSERT_TRUE(second.StartTray(*installation_));
    int exitCode = 0;
    ASSERT_TRUE(second.WaitForExit(10000, &exitCode)) << "the second copy kept running";
    EXPECT_EQ(-1, exitCode);
    std::vector<std::string> expected = {" ", kVersionLine, kOtherProcessLine};
    EXPECT_EQ(expected, installation_->LogOf(second.Id()));

    EXPECT_TRUE(tray_->Running());
    EXPECT_EQ(mainBefore, FindMainWindow());
    EXPECT_TRUE(AnyIconExists());
    EXPECT_EQ(0, installation_->CountLogText(tray_->Id(), kEndLine));
}

TEST_F(TrayRunning, RightClickOpensMenuAndChoiceLaunchesControlPanelWithItsNumber) {
    ASSERT_TRUE(PostIconMouseMessage(TrayWindow(), WM_RBUTTONDOWN));
    HWND menu = WaitForMenu(kStepTimeoutMs);
    ASSERT_NE(nullptr, menu) << "no popup menu after the right-button callback";
    ASSERT_TRUE(ChooseMenuEntry(menu, DownPressesForCommand(kCommandRestoreOptions, true, false)));
    EXPECT_TRUE(WaitForMenuClosed(kStepTimeoutMs));

    EXPECT_EQ(std::vector<std::string>{"-menu 6"}, NewCalls(1));
    std::string commandLine = installation_->ControlPanelCommandLine("-menu 6");
    EXPECT_TRUE(installation_->WaitForLogText(tray_->Id(), "Invoke qvbui.exe, QvSystem::RunCommand: " + commandLine,
                                              kStepTimeoutMs))
        << Joined(installation_->LogOf(tray_->Id()));
    EXPECT_EQ(1, installation_->CountLogText(tray_->Id(), "About to async run -menu with cmd: " + commandLine));
}

TEST_F(TrayRunning, LeftClickOpensMenuOnTimerTickAndCancelLaunchesNothing) {
    ASSERT_TRUE(PostIconMouseMessage(TrayWindow(), WM_LBUTTONDOWN));
    DWORD posted = GetTickCount();
    HWND menu = WaitForMenu(kStepTimeoutMs);
    ASSERT_NE(nullptr, menu) << "no popup menu after a single left press";
    // Two ticks of 150 ms; the rest is slack for a loaded machine.
    EXPECT_LT(GetTickCount() - posted, 2000u);
    DWORD owner = 0;
    GetWindowThreadProcessId(menu, &owner);
    EXPECT_EQ(tray_->Id(), owner);

    ASSERT_TRUE(CancelMenu(menu));
    EXPECT_TRUE(WaitForMenuClosed(kStepTimeoutMs));
    Sleep(500);  // a launch would be recorded within this time
    EXPECT_TRUE(NewCalls(0).empty()) << Joined(NewCalls(0));
}

TEST_F(TrayRunning, DoubleClickLaunchesControlPanelHomeWithoutMenu) {
    // A real double click: press, release, double-click message, all before the tick
    // that would turn the press into a menu.
    HWND trayWindow = TrayWindow();
    ASSERT_TRUE(PostIconMouseMessage(trayWindow, WM_LBUTTONDOWN));
    ASSERT_TRUE(PostIconMouseMessage(trayWindow, WM_LBUTTONUP));
    ASSERT_TRUE(PostIconMouseMessage(trayWindow, WM_LBUTTONDBLCLK));

    EXPECT_EQ(std::vector<std::string>{"-menu 1"}, NewCalls(1));
    EXPECT_TRUE(installation_->WaitForLogText(tray_->Id(), "tray double click", kStepTimeoutMs));
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
    EXPECT_TRUE(tray_->Running());
}

TEST_F(TrayRunning, HideSettingRemovesIconOnlyAfterTenSeconds) {
    ASSERT_TRUE(installation_->SetHideIcon(true));
    // The setting is read again only once more than ten whole seconds have passed since
    // the first timer tick, which falls between the main window's appearance and the
    // icon's. Early enough, the icon must survive the change for a while.
    DWORD earliestRemovalMs = windowMs_ + 10000;
    if (tray_->MillisecondsSinceStart() + 1500 < earliestRemovalMs) {
        Sleep(1000);
        EXPECT_TRUE(AnyIconExists()) << "the hide setting was read before the 10-second mark";
    }
    // Whole seconds on both ends: the change may come up to 12 s after the first tick.
    DWORD latestRemovalMs = iconMs_ + 15000;
    DWORD now = tray_->MillisecondsSinceStart();
    EXPECT_TRUE(WaitForIcon(false, latestRemovalMs > now ? latestRemovalMs - now : 500))
        << "icon still shown " << tray_->MillisecondsSinceStart() << " ms after start";
    EXPECT_GE(tray_->MillisecondsSinceStart(), earliestRemovalMs);
    EXPECT_NE(nullptr, TrayWindow()) << "the tray window stays when the icon is hidden";
    EXPECT_TRUE(tray_->Running());
}

TEST_F(TrayRunning, QuitFromMenuLaunchesQuitArgumentAndEndsProgram) {
    bool iconShown = AnyIconExists();
    ASSERT_TRUE(PostIconMouseMessage(TrayWindow(), WM_RBUTTONDOWN));
    HWND menu = WaitForMenu(kStepTimeoutMs);
    ASSERT_NE(nullptr, menu);
    ASSERT_TRUE(ChooseMenuEntry(menu, DownPressesForCommand(kCommandQuit, true, false)));

    int exitCode = -2;
    ASSERT_TRUE(tray_->WaitForExit(kStepTimeoutMs, &exitCode)) << "Quit did not end the program";
    EXPECT_EQ(0, exitCode);
    EXPECT_EQ(std::vector<std::string>{"-quitqvbui"}, NewCalls(1));
    std::vector<std::string> log = installation_->LogOf(tray_->Id());
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(kEndLine, log.back());
    EXPECT_EQ(1, std::count(log.begin(), log.end(),
                            "About to async run -menu with cmd: " + installation_->ControlPanelCommandLine("-quitqvbui")));
    // With the icon already hidden, the removal at exit fails and says so.
    size_t removalErrors = size_t(std::count(log.begin(), log.end(), "ERROR: RemoveQvBuiIconFromSystemTray failed"));
    EXPECT_EQ(iconShown ? 0u : 1u, removalErrors) << Joined(log);
    // Every menu of this run found its labels in the interface file: a missing text or
    // file would have left an ERROR line.
    for (const std::string& line : log) {
        if (line.rfind("ERROR", 0) == 0) {
            EXPECT_EQ("ERROR: RemoveQvBuiIconFromSystemTray failed", line);
        }
    }
    EXPECT_EQ(nullptr, FindMainWindow());
    EXPECT_FALSE(AnyIconExists());
}

// ---- Scenarios that need a program of their own ------------------------------------------

struct EndMessage {
    const char* name;
    UINT message;
    WPARAM wParam;
};

class TrayEnds : public ::testing::TestWithParam<EndMessage> {};

TEST_P(TrayEnds, MessageToMainWindowEndsCleanlyWithExitZero) {
    Installation installation(true);
    ASSERT_TRUE(installation.Ready());
    Process tray;
    ASSERT_TRUE(tray.StartTray(installation));
    HWND mainWindow = WaitForMainWindow(kStartTimeoutMs);
    ASSERT_NE(nullptr, mainWindow);
    ASSERT_TRUE(WaitForIcon(true, kStartTimeoutMs));

    ASSERT_TRUE(PostMessageW(mainWindow, GetParam().message, GetParam().wParam, 0));
    int exitCode = -2;
    ASSERT_TRUE(tray.WaitForExit(kStepTimeoutMs, &exitCode));
    EXPECT_EQ(0, exitCode);
    std::vector<std::string> log = installation.LogOf(tray.Id());
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(kEndLine, log.back());
    // A complete installation reads without a single complaint.
    for (const std::string& line : log)
        EXPECT_NE(0u, line.rfind("ERROR", 0)) << line;
    EXPECT_FALSE(AnyIconExists());
    EXPECT_TRUE(installation.ControlPanelCalls().empty());
    if (HasFailure())
        installation.KeepForInspection();
}

INSTANTIATE_TEST_SUITE_P(Messages, TrayEnds,
                         ::testing::Values(EndMessage{"ExitCommand", WM_COMMAND, kExitCommand},
                                           EndMessage{"Close", WM_CLOSE, 0}),
                         [](const ::testing::TestParamInfo<EndMessage>& info) { return info.param.name; });

TEST(TrayWithoutControlPanel, LaunchFailureLogsWarningAndProgramGoesOn) {
    Installation installation(false);
    ASSERT_TRUE(installation.Ready());
    Process tray;
    ASSERT_TRUE(tray.StartTray(installation));
    ASSERT_NE(nullptr, WaitForMainWindow(kStartTimeoutMs));
    ASSERT_TRUE(WaitForIcon(true, kStartTimeoutMs));

    std::vector<HWND> trayWindows = FindTrayWindows();
    ASSERT_FALSE(trayWindows.empty());
    ASSERT_TRUE(PostIconMouseMessage(trayWindows.front(), WM_LBUTTONDBLCLK));
    std::string warning =
        "WARNING: QvSystem::RunCommand qvbui.exe failed for: " + installation.ControlPanelCommandLine("-menu 1");
    EXPECT_TRUE(installation.WaitForLogText(tray.Id(), warning, kStepTimeoutMs))
        << Joined(installation.LogOf(tray.Id()));
    EXPECT_TRUE(tray.Running());

    ASSERT_TRUE(PostMessageW(FindMainWindow(), WM_COMMAND, kExitCommand, 0));
    int exitCode = -2;
    ASSERT_TRUE(tray.WaitForExit(kStepTimeoutMs, &exitCode));
    EXPECT_EQ(0, exitCode);
    if (HasFailure())
        installation.KeepForInspection();
}

}  // namespace
