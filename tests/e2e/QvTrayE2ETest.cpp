// Whole-program scenarios: the real qvbuitray.exe started under a prepared install and
// data directory, judged only from outside: its log, its exit code, its windows, whether
// the shell holds its icon, and the command lines that the stand-in control panel
// recorded. Each scenario starts its own program; a start costs a second or two under
// Wine, so the scenarios are few and long. Every wait is for something the program does,
// bounded by a ceiling that only a hang reaches.
#include "QvTrayControl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "QvBuiTrayVersion.h"
#include "QvTempDir.h"
#include "QvTestLog.h"
#include "QvTestSystem.h"

using namespace QvTrayControl;

namespace {

const std::string kVersionLine = "qvbuitray starting up, version: " QVBUITRAY_VERSION_TEXT;
const std::string kEndLine = "qvbuitray END";
const std::string kRemovalError = "ERROR: RemoveQvBuiIconFromSystemTray failed";
constexpr DWORD kHangMs = 120000;  // a first start in a cold prefix takes 10-15 s

std::wstring Wide(const std::string& utf8) {
    std::wstring wide(utf8.size(), L'\0');
    wide.resize(size_t(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), &wide[0], int(wide.size()))));
    return wide;
}

// The build hands over host paths; under Wine the host's root is drive Z:.
std::string HostPath(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path[0] == '\\' ? "Z:" + path : path;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

// A settings file like the one the client writes, complete enough that reading it logs
// no complaint.
const char* const kSettingsXml =
    "<qvinfo qvui_locale=\"default\" excludefiletypes=\".tmp\" smartwatchfilesets=\"Docs\">\n"
    "<filesetdef filesetname=\"Docs\" extensions=\"txt\" />\n"
    "<do_backup><qvdirfilter dir=\"C:\\Docs\\\" whichfiles=\"smartwatchfilesets\" /></do_backup>\n"
    "<qvvolume qvVolumeGuid=\"v00000000000000000000000000c\" mountPointPath=\"C:\\\" />\n</qvinfo>\n";

// A started program, ended at the latest with this object.
struct Process {
    bool Start(const std::string& program, const std::string& workingDir) {
        std::wstring commandLine = L"\"" + Wide(program) + L"\"";
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info;
        if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, Wide(workingDir).c_str(),
                            &startup, &info))
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
    // The exit code, or -1000 when the program still runs after the ceiling.
    int WaitForExit() const {
        DWORD code = 0;
        return handle && WaitForSingleObject(handle, kHangMs) == WAIT_OBJECT_0 && GetExitCodeProcess(handle, &code)
                   ? int(code)
                   : -1000;
    }

    HANDLE handle = nullptr;
    unsigned long id = 0;
    DWORD startTick = 0;
};

// An install and a data directory in a fresh temporary folder, as the client's installer
// leaves them, and the tray program started on them.
class TrayScenario : public QvTempDirTest {
protected:
    void TearDown() override {
        if (HWND menu = FindOpenMenu())  // left open by a scenario that failed half-way
            CancelMenu(menu);
        if (HasFailure())
            for (const std::string& line : LogOf(tray.id))
                std::printf("  log: [%s]\n", line.c_str());
    }

    // Prepares the installation, starts the program and waits for its window and icon.
    void StartTray(bool withControlPanel) {
        SetEnvironmentVariableW(L"QV_STANDIN_SHOW", nullptr);  // the stand-in stays silent
        install = temp.MakeDir("install");
        temp.MakeDir("data\\qvreports");
        data = temp.Join("data");
        temp.MakeFile("install\\qvinstall.xml", "<qvinstall datadir=\"" + data + "\" />");
        std::string texts;
        ASSERT_TRUE(QvTestFs::ReadFile(HostPath(QV_E2E_INTERFACE_XML), &texts));
        temp.MakeFile("install\\qvbui_interface.xml", texts);
        temp.MakeFile("data\\qvinfo.xml", kSettingsXml);
        SetHideIcon(false);
        ASSERT_TRUE(!withControlPanel ||
                    QvTestSystem::CopyProgram(HostPath(QV_E2E_STANDIN_EXE), install + "\\qvbui.exe"));
        std::wstring value = Wide(install);
        ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\Velbrook", L"installdir", REG_SZ,
                                                 value.c_str(), DWORD((value.size() + 1) * sizeof(wchar_t))));
        ASSERT_TRUE(tray.Start(HostPath(QV_E2E_TRAY_EXE), temp.GetPath()));
        ASSERT_TRUE(WaitUntil(kHangMs, [] { return FindMainWindow() != nullptr; }));
        DWORD windowMs = tray.Elapsed();
        ASSERT_TRUE(WaitForIcon(true, kHangMs));
        std::printf("qvbuitray: main window after %lu ms, icon after %lu ms\n", windowMs, tray.Elapsed());
    }

    void SetHideIcon(bool hide) {
        temp.MakeFile("data\\qvreports\\qvdc_synchostinfo.xml", std::string("<qvdc_synchostinfo hide_icon=\"") +
                                                                    (hide ? "true" : "false") +
                                                                    "\" enable_check_for_updates=\"true\" />\n");
    }
    std::string CommandLine(const std::string& argument) const { return "\"" + install + "\\qvbui.exe\" " + argument; }

    // The arguments the stand-in control panel received, in order, once count are there.
    std::vector<std::string> Calls(size_t count) const {
        std::string text;
        WaitUntil(kHangMs, [&] { return QvTestFs::ReadFile(install + "\\qvbui_calls.txt", &text) &&
                                        Lines(text).size() >= count; });
        return Lines(text);
    }

    // The messages of one process in the day files (a run across midnight UTC spans two).
    std::vector<std::string> LogOf(unsigned long processId) const {
        const std::string directory = data + "\\qvlogs\\qvbuitray\\";
        std::vector<std::string> names, messages;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(Wide(directory + "qvbuitray*.log").c_str(), &found);
        for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found))
            names.push_back(std::string(found.cFileName, found.cFileName + wcslen(found.cFileName)));  // ASCII
        FindClose(search);
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            std::string text;
            QvTestFs::ReadFile(directory + name, &text);
            for (const std::string& message : QvTestLog::Messages(text, 0, processId))
                messages.push_back(message);
        }
        return messages;
    }
    size_t Count(const std::string& message) const {
        std::vector<std::string> log = LogOf(tray.id);
        return size_t(std::count(log.begin(), log.end(), message));
    }
    bool WaitForLog(const std::string& message) const {
        return WaitUntil(kHangMs, [&] { return Count(message) > 0; });
    }

    void ChooseFromRightClickMenu(int command) {
        ASSERT_TRUE(PostIconMouseMessage(WaitForTrayWindow(kHangMs), WM_RBUTTONDOWN));
        HWND menu = WaitForMenu(kHangMs);
        ASSERT_NE(nullptr, menu) << "no popup menu after the right-button callback";
        ASSERT_TRUE(ChooseMenuCommand(menu, command));
    }

    std::string install, data;
    Process tray;
};

TEST_F(TrayScenario, RunsOnceWithHiddenWindowsAndIconAnswersClicksAndQuitsFromTheMenu) {
    ASSERT_NO_FATAL_FAILURE(StartTray(true));
    std::vector<std::string> log = LogOf(tray.id);
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(" ", log[0]);
    EXPECT_EQ(kVersionLine, log[1]);
    HWND mainWindow = FindMainWindow(), trayWindow = FindTrayWindows().front();
    EXPECT_FALSE(IsWindowVisible(mainWindow));
    EXPECT_FALSE(IsWindowVisible(trayWindow));
    DWORD owner = 0;
    GetWindowThreadProcessId(trayWindow, &owner);
    EXPECT_EQ(tray.id, owner);
    EXPECT_TRUE(IconExists(trayWindow));

    // A second copy on the same desktop writes its start lines and leaves the first be.
    Process second;
    ASSERT_TRUE(second.Start(HostPath(QV_E2E_TRAY_EXE), temp.GetPath()));
    EXPECT_EQ(-1, second.WaitForExit());
    EXPECT_EQ((std::vector<std::string>{" ", kVersionLine, "qvbuitray END, other process running"}), LogOf(second.id));
    EXPECT_TRUE(tray.Running());
    EXPECT_EQ(mainWindow, FindMainWindow());
    EXPECT_TRUE(IconExists(trayWindow));

    // A right press opens the menu at once; the choice goes to the control panel.
    ChooseFromRightClickMenu(kCommandRestoreOptions);
    EXPECT_EQ(std::vector<std::string>{"-menu 6"}, Calls(1));
    EXPECT_TRUE(WaitForLog("Invoke qvbui.exe, QvSystem::RunCommand: " + CommandLine("-menu 6")));
    EXPECT_EQ(1u, Count("About to async run -menu with cmd: " + CommandLine("-menu 6")));

    // A left press opens the menu at a later tick; cancelled, it starts nothing.
    ASSERT_TRUE(PostIconMouseMessage(trayWindow, WM_LBUTTONDOWN));
    HWND menu = WaitForMenu(kHangMs);
    ASSERT_NE(nullptr, menu) << "no popup menu after a single left press";
    ASSERT_TRUE(CancelMenu(menu));
    ASSERT_TRUE(WaitUntil(kHangMs, [] { return FindOpenMenu() == nullptr; }));
    // Press, release and double click, all before the tick that would open the menu.
    ASSERT_TRUE(PostIconMouseMessageBurst(trayWindow, {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK}));
    EXPECT_EQ((std::vector<std::string>{"-menu 6", "-menu 1"}), Calls(2));
    EXPECT_TRUE(WaitForLog("tray double click"));
    EXPECT_EQ(nullptr, WaitForMenu(600)) << "the pending single click opened a menu";

    // wine: the shell never broadcasts "TaskbarCreated" here, so the test plays the
    // restarted shell: the icon vanishes, then the broadcast announces the new taskbar.
    ASSERT_TRUE(DeleteIcon(trayWindow));
    ASSERT_FALSE(IconExists(trayWindow));
    ASSERT_TRUE(BroadcastTaskbarCreated());
    EXPECT_TRUE(WaitUntil(kHangMs, [&] { return IconExists(trayWindow); }));

    // Quit: the control panel hears of it, the icon goes, the program ends with 0 and
    // logs no error at all.
    ChooseFromRightClickMenu(kCommandQuit);
    EXPECT_EQ(0, tray.WaitForExit()) << "Quit did not end the program with 0";
    EXPECT_EQ((std::vector<std::string>{"-menu 6", "-menu 1", "-quitqvbui"}), Calls(3));
    log = LogOf(tray.id);
    EXPECT_EQ(kEndLine, log.back());
    EXPECT_EQ(1u, Count("About to async run -menu with cmd: " + CommandLine("-quitqvbui")));
    for (const std::string& line : log)
        EXPECT_NE(0u, line.rfind("ERROR", 0)) << line;
    EXPECT_EQ(nullptr, FindMainWindow());
    EXPECT_FALSE(AnyIconExists());
}

TEST_F(TrayScenario, HidesItsIconOnlyAfterTenSecondsAndOnlyLogsAControlPanelThatCannotStart) {
    ASSERT_NO_FATAL_FAILURE(StartTray(false));
    SetHideIcon(true);
    // The setting is read again only once more than ten whole seconds have passed since
    // the first tick. That tick comes after the start, and this test may have seen the
    // window late on a loaded machine, so the start is the bound that always holds.
    const DWORD earliestRemovalMs = 10000;
    if (tray.Elapsed() + 1500 < earliestRemovalMs) {
        Sleep(1000);
        EXPECT_TRUE(AnyIconExists()) << "the hide setting was read before the 10-second mark";
    }
    ASSERT_TRUE(PostIconMouseMessage(FindTrayWindows().front(), WM_LBUTTONDBLCLK));
    EXPECT_TRUE(WaitForLog("WARNING: QvSystem::RunCommand qvbui.exe failed for: " + CommandLine("-menu 1")));
    EXPECT_TRUE(tray.Running());

    // The change comes at the first tick after the mark (a loaded machine delays ticks, so
    // only the lower bound is exact).
    EXPECT_TRUE(WaitForIcon(false, kHangMs)) << "icon still shown " << tray.Elapsed() << " ms after start";
    EXPECT_GE(tray.Elapsed(), earliestRemovalMs);
    EXPECT_FALSE(FindTrayWindows().empty()) << "the tray window stays when the icon is hidden";

    // Exit from the main window's menu; the removal of the hidden icon fails and says so.
    ASSERT_TRUE(PostMessageW(FindMainWindow(), WM_COMMAND, kExitCommand, 0));
    EXPECT_EQ(0, tray.WaitForExit());
    std::vector<std::string> log = LogOf(tray.id);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(kEndLine, log.back());
    EXPECT_EQ(1u, Count(kRemovalError));
    EXPECT_EQ(nullptr, FindMainWindow());
    EXPECT_FALSE(AnyIconExists());
}

// The log directory deleted from outside while the program runs: its lines are lost
// quietly (nothing makes the directory again), yet the menu still launches the control
// panel, and Quit still ends the program with 0.
TEST_F(TrayScenario, KeepsWorkingWhenItsLogDirectoryIsDeleted) {
    ASSERT_NO_FATAL_FAILURE(StartTray(true));
    ASSERT_TRUE(WaitForLog(kVersionLine));
    // The program appends and closes the file for every line, so the files can go; a
    // delete that meets a line being written is tried again.
    const std::string logDir = data + "\\qvlogs\\qvbuitray";
    ASSERT_TRUE(WaitUntil(kHangMs, [&] { return QvTestFs::RemoveTree(logDir); }));

    ChooseFromRightClickMenu(kCommandRestoreOptions);
    EXPECT_EQ(std::vector<std::string>{"-menu 6"}, Calls(1));
    ChooseFromRightClickMenu(kCommandQuit);
    EXPECT_EQ(0, tray.WaitForExit()) << "Quit did not end the program with 0";
    EXPECT_EQ((std::vector<std::string>{"-menu 6", "-quitqvbui"}), Calls(2));
    EXPECT_FALSE(QvTestFs::Exists(logDir)) << "the log directory came back";
    EXPECT_EQ(nullptr, FindMainWindow());
    EXPECT_FALSE(AnyIconExists());
}

}  // namespace
