// Whole-program scenarios: the real qvbuitray.exe on a prepared installation, judged from
// outside only (log, exit code, windows, the shell's icon, the stand-in control panel's
// calls). Each scenario starts its own program; every wait is for something the program
// does, bounded by a ceiling that only a hang reaches.
#include "QvTrayControl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "QvBuiTrayVersion.h"
#include "QvTempDir.h"
#include "QvTestCommon.h"
#include "QvTestInstallation.h"
#include "QvTestLog.h"
#include "QvTestSystem.h"

using namespace QvTrayControl;

namespace {

const std::string kStartLines = " \nqvbuitray starting up, version: " QVBUITRAY_VERSION_TEXT "\n";
constexpr DWORD kHangMs = 120000;  // a first start in a cold prefix takes 10-15 s

std::wstring Wide(const std::string& utf8) {
    std::wstring wide(utf8.size(), L'\0');
    wide.resize(size_t(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), &wide[0], int(wide.size()))));
    return wide;
}

// The program under test: the one built beside the tests, or the one the environment
// variable QV_E2E_TRAY_PROGRAM names by its host path (scripts/test starts the signed
// release program this way).
std::string TrayProgram() {
    const char* chosen = getenv("QV_E2E_TRAY_PROGRAM");
    return QvTestWinePath(chosen && *chosen ? chosen : QvTestDataFile(QV_E2E_TRAY_EXE));
}

// A started program, ended at the latest with this object.
struct Process {
    bool Start(const std::string& program, const std::string& workingDir, const std::string& arguments = "") {
        std::wstring commandLine = L"\"" + Wide(program) + L"\"" + (arguments.empty() ? L"" : L" " + Wide(arguments));
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info;
        if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, Wide(workingDir).c_str(),
                            &startup, &info))
            return false;
        CloseHandle(info.hThread);
        handle = info.hProcess, id = info.dwProcessId, startTick = GetTickCount();
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
    int WaitForExit() const {  // the exit code, or -1000 when the program still runs after the ceiling
        DWORD code = 0;
        return handle && WaitForSingleObject(handle, kHangMs) == WAIT_OBJECT_0 && GetExitCodeProcess(handle, &code)
                   ? int(code)
                   : -1000;
    }

    HANDLE handle = nullptr;
    unsigned long id = 0;
    DWORD startTick = 0;
};

// The installation in a fresh temporary folder, as the client's installer leaves it.
class TrayScenario : public QvTempDirTest {
protected:
    void TearDown() override {
        if (HWND menu = FindOpenMenu())  // left open by a scenario that failed half-way
            CancelMenu(menu);
        if (HasFailure())
            std::printf("log of qvbuitray:\n%s", Log().c_str());
    }

    // Prepares the installation, starts the program (by default the one built) and
    // waits for its window and icon.
    void StartTray(bool withControlPanel, const std::string& program = TrayProgram()) {
        SetEnvironmentVariableW(L"QV_STANDIN_SHOW", nullptr);  // the stand-in stays silent
        install = temp.MakeDir("install");
        data = temp.MakeDir("data");
        temp.MakeDir("data\\qvreports");
        temp.MakeFile("install\\qvinstall.xml", "<qvinstall datadir=\"" + data + "\" />");
        ASSERT_TRUE(CopyFileW(Wide(QvTestWinePath(QvTestDataFile(QV_E2E_INTERFACE_XML))).c_str(),
                              Wide(install + "\\qvbui_interface.xml").c_str(), FALSE));
        temp.MakeFile("data\\qvinfo.xml", QvTestInstallation::QuietSettings());
        SetHideIcon(false);
        ASSERT_TRUE(!withControlPanel ||
                    QvTestSystem::CopyProgram(QvTestWinePath(QvTestDataFile(QV_E2E_STANDIN_EXE)), install + "\\qvbui.exe"));
        const uint32_t kLocalMachine = 0x80000002u;
        ASSERT_TRUE(QvTestSystem::WriteRegistryString(kLocalMachine, "Software\\Velbrook", "installdir", install));
        ASSERT_TRUE(tray.Start(program, workingDir.empty() ? temp.GetPath() : workingDir));
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
    // The log lines of a control-panel start the tray program saw succeed.
    std::string Ran(const std::string& argument) const {
        return "About to async run -menu with cmd: " + CommandLine(argument) +
               "\nInvoke qvbui.exe, QvSystem::RunCommand: " + CommandLine(argument) + "\n";
    }

    // The arguments the stand-in control panel received, one a line, once count are there.
    std::string Calls(size_t count) const {
        std::string text;
        WaitUntil(kHangMs, [&] { return QvTestFs::ReadFile(install + "\\qvbui_calls.txt", &text) &&
                                        size_t(std::count(text.begin(), text.end(), '\n')) >= count; });
        return text;
    }

    // The messages of a process (by default the tray program's), one a line, from the day
    // files in order (a run across midnight UTC spans two).
    std::string Log(unsigned long processId = 0) const {
        const std::string directory = data + "\\qvlogs\\qvbuitray\\";
        std::vector<std::string> names;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(Wide(directory + "qvbuitray*.log").c_str(), &found);
        for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found))
            names.push_back(std::string(found.cFileName, found.cFileName + wcslen(found.cFileName)));  // ASCII
        FindClose(search);
        std::sort(names.begin(), names.end());
        std::string text, all, messages;
        for (const std::string& name : names)
            all += QvTestFs::ReadFile(directory + name, &text) ? text : "";
        for (const std::string& message : QvTestLog::Messages(all, 0, processId ? processId : tray.id))
            messages += message + "\n";
        return messages;
    }

    void ChooseFromRightClickMenu(int command) {
        ASSERT_TRUE(PostIconMouseMessage(WaitForTrayWindow(kHangMs), WM_RBUTTONDOWN));
        ASSERT_TRUE(ChooseMenuCommand(WaitForMenu(kHangMs), command)) << "no popup menu after the right press";
    }

    // The program's exit code; when it has ended, its window and icon are gone.
    int WaitForEnd() {
        int code = tray.WaitForExit();
        EXPECT_EQ(nullptr, FindMainWindow());
        EXPECT_FALSE(AnyIconExists());
        return code;
    }

    std::string install, data, workingDir;
    Process tray;
};

TEST_F(TrayScenario, RunsOnceWithHiddenWindowsAndIconAnswersClicksAndQuitsFromTheMenu) {
    ASSERT_NO_FATAL_FAILURE(StartTray(true));
    EXPECT_EQ(kStartLines, Log());
    HWND mainWindow = FindMainWindow(), trayWindow = FindTrayWindows().front();
    EXPECT_FALSE(IsWindowVisible(mainWindow));
    EXPECT_FALSE(IsWindowVisible(trayWindow));
    DWORD owner = 0;
    GetWindowThreadProcessId(trayWindow, &owner);
    EXPECT_EQ(tray.id, owner);
    EXPECT_TRUE(IconExists(trayWindow));

    // A second copy on the same desktop writes its start lines and leaves the first be.
    Process second;
    ASSERT_TRUE(second.Start(TrayProgram(), temp.GetPath()));
    EXPECT_EQ(-1, second.WaitForExit());
    EXPECT_EQ(kStartLines + "qvbuitray END, other process running\n", Log(second.id));
    EXPECT_TRUE(tray.Running());
    EXPECT_EQ(mainWindow, FindMainWindow());
    EXPECT_TRUE(IconExists(trayWindow));

    // A right press opens the menu at once; the choice goes to the control panel.
    ChooseFromRightClickMenu(kCommandRestoreOptions);
    EXPECT_EQ("-menu 6\n", Calls(1));

    // A left press opens the menu at a later tick; cancelled, it starts nothing.
    ASSERT_TRUE(PostIconMouseMessage(trayWindow, WM_LBUTTONDOWN));
    ASSERT_TRUE(CancelMenu(WaitForMenu(kHangMs))) << "no popup menu after a single left press";
    ASSERT_TRUE(WaitUntil(kHangMs, [] { return FindOpenMenu() == nullptr; }));
    // A double click opens the control panel.
    ASSERT_TRUE(PostIconMouseMessage(trayWindow, WM_LBUTTONDBLCLK));
    EXPECT_EQ("-menu 6\n-menu 1\n", Calls(2));

    // wine: the shell never broadcasts "TaskbarCreated" here, so the test plays the
    // restarted shell: the icon vanishes, then the broadcast announces the new taskbar.
    ASSERT_TRUE(DeleteIcon(trayWindow));
    ASSERT_FALSE(IconExists(trayWindow));
    ASSERT_TRUE(BroadcastTaskbarCreated());
    EXPECT_TRUE(WaitUntil(kHangMs, [&] { return IconExists(trayWindow); }));

    // Quit: the control panel hears of it, the program ends with 0 and logs no error at all.
    ChooseFromRightClickMenu(kCommandQuit);
    EXPECT_EQ(0, WaitForEnd()) << "Quit did not end the program with 0";
    EXPECT_EQ("-menu 6\n-menu 1\n-quitqvbui\n", Calls(3));
    EXPECT_EQ(kStartLines + Ran("-menu 6") + "tray double click\n" + Ran("-menu 1") + Ran("-quitqvbui") +
                  "qvbuitray END\n",
              Log());
}

TEST_F(TrayScenario, HidesItsIconOnlyAfterTenSecondsAndOnlyLogsAControlPanelThatCannotStart) {
    ASSERT_NO_FATAL_FAILURE(StartTray(false));
    SetHideIcon(true);
    const std::string failed = "WARNING: QvSystem::RunCommand qvbui.exe failed for: " + CommandLine("-menu 1");
    ASSERT_TRUE(PostIconMouseMessage(FindTrayWindows().front(), WM_LBUTTONDBLCLK));
    EXPECT_TRUE(WaitUntil(kHangMs, [&] { return Log().find(failed) != std::string::npos; }));
    EXPECT_TRUE(tray.Running());

    // The setting is read again only once ten whole seconds have passed since the first
    // tick, which comes after the start; ticks come late on a loaded machine, so only this
    // lower bound is exact.
    EXPECT_TRUE(WaitForIcon(false, kHangMs)) << "icon still shown " << tray.Elapsed() << " ms after start";
    EXPECT_GE(tray.Elapsed(), 10000u) << "the hide setting was read before the 10-second mark";
    EXPECT_FALSE(FindTrayWindows().empty()) << "the tray window stays when the icon is hidden";

    // Exit from the main window's menu; the removal of the hidden icon fails and says so.
    ASSERT_TRUE(PostMessageW(FindMainWindow(), WM_COMMAND, kExitCommand, 0));
    EXPECT_EQ(0, WaitForEnd());
    EXPECT_EQ(kStartLines + "tray double click\nAbout to async run -menu with cmd: " + CommandLine("-menu 1") + "\n" +
                  failed + "\nERROR: RemoveQvBuiIconFromSystemTray failed\nqvbuitray END\n",
              Log());
}

// Libraries the program loads by name at run time, or that the shell loads for it while
// it asks for a known folder. user32 is not among the planted names: Windows always takes
// it from the system's list of known libraries, while Wine told to prefer a native user32
// would take a planted one even for the program's own import table.
const char* const kPlantedNames[] = {"Comctl32.dll", "wldp.dll"};

// The planted library's marker files in a folder, as one text ("" when none ran).
std::string PlantedLibrariesThatRan(const std::string& folder) {
    std::string ran, program;
    for (const char* name : kPlantedNames)
        if (QvTestFs::ReadFile(folder + "\\" + name + ".ran", &program))
            ran += std::string(name) + " ran in " + folder + "\n";
    return ran;
}

// While it lives, Wine prefers a native library of the planted names for the programs
// the scenario starts, as Windows searches for a library that is neither a known one nor
// redirected by the manifest. Per program, through the registry: the environment does
// not reach a child.
struct PreferNativeLibraries {
    PreferNativeLibraries() { Set(true); }
    ~PreferNativeLibraries() { Set(false); }
    static void Set(bool on) {
        const uint32_t kCurrentUser = 0x80000001u;
        for (const char* program : {"probe.exe", "qvbuitray.exe"})
            for (const char* library : {"comctl32", "wldp"}) {
                const std::string key = std::string("Software\\Wine\\AppDefaults\\") + program + "\\DllOverrides";
                EXPECT_TRUE(on ? QvTestSystem::WriteRegistryString(kCurrentUser, key, library, "native,builtin")
                               : QvTestSystem::DeleteRegistryValue(kCurrentUser, key, library));
            }
    }
};

// Libraries of system names planted beside the program and in its working folder, with
// Wine told to prefer them over its own: none of them is loaded.
TEST_F(TrayScenario, LoadsNoLibraryPlantedBesideItOrInItsWorkingFolder) {
    const std::string programDir = temp.MakeDir("program");
    workingDir = temp.MakeDir("work");
    const std::string program = programDir + "\\qvbuitray.exe";
    ASSERT_TRUE(QvTestSystem::CopyProgram(TrayProgram(), program));
    ASSERT_TRUE(QvTestSystem::CopyProgram(QvTestWinePath(QvTestDataFile(QV_E2E_LOAD_BY_NAME_EXE)), workingDir + "\\probe.exe"));
    for (const std::string& folder : {programDir, workingDir})
        for (const char* name : kPlantedNames)
            ASSERT_TRUE(CopyFileW(Wide(QvTestWinePath(QvTestDataFile(QV_E2E_PLANTED_DLL))).c_str(), Wide(folder + "\\" + name).c_str(), FALSE));
    const PreferNativeLibraries preferNative;

    // The plant works: a program that loads by bare name gets it from its own folder.
    Process probe;
    ASSERT_TRUE(probe.Start(workingDir + "\\probe.exe", workingDir, "Comctl32.dll"));
    EXPECT_EQ(0, probe.WaitForExit());
    EXPECT_EQ("Comctl32.dll ran in " + workingDir + "\n", PlantedLibrariesThatRan(workingDir));
    ASSERT_TRUE(DeleteFileW(Wide(workingDir + "\\Comctl32.dll.ran").c_str()));

    // The program starts, shows its icon and ends through its menu without loading any.
    ASSERT_NO_FATAL_FAILURE(StartTray(true, program));
    ChooseFromRightClickMenu(kCommandQuit);
    EXPECT_EQ(0, WaitForEnd());
    EXPECT_EQ("", PlantedLibrariesThatRan(programDir) + PlantedLibrariesThatRan(workingDir));
    EXPECT_EQ(kStartLines + Ran("-quitqvbui") + "qvbuitray END\n", Log());
}

}  // namespace
