// Measures the tray program's own costs from outside, as the shell and a user see it:
//   QvTrayBench start <exe>        starts the program, prints "start_to_icon_ms <t>" and
//                                  "pid <windows pid>" once the shell holds its icon
//   QvTrayBench menus <count>      opens and cancels the menu count times from the icon
//                                  message; prints the median, 90th percentile and worst
//                                  latency from the posted message to the visible menu
//   QvTrayBench memory             prints "private_bytes <n>" of the running program (Wine
//                                  answers 0 for another process: the runner script reads
//                                  the host process's anonymous memory instead)
//   QvTrayBench quit               asks the program to end (its exit command) and waits
// Exit code 0 on success, 1 when the program or its menu does not answer in time.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "QvTrayControl.h"

using namespace QvTrayControl;

namespace {

double NowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

HANDLE OpenTray(DWORD access) {
    HWND window = FindMainWindow();
    if (!window)
        return nullptr;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return OpenProcess(access, FALSE, pid);
}

long long PrivateBytes() {
    HANDLE process = OpenTray(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ);
    if (!process)
        return -1;
    PROCESS_MEMORY_COUNTERS_EX counters;
    ZeroMemory(&counters, sizeof counters);
    long long bytes = -1;
    if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters))
        bytes = (long long)counters.PrivateUsage;
    CloseHandle(process);
    return bytes;
}

int Start(const wchar_t* exe) {
    std::wstring commandLine = std::wstring(L"\"") + exe + L"\"";
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    double started = NowMs();
    if (!CreateProcessW(exe, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        std::printf("error CreateProcess %lu\n", GetLastError());
        return 1;
    }
    // Polled every millisecond: the figures are good to about a millisecond. The main
    // window and the tray window tell the program's own start-up from the shell's part.
    double mainWindowAt = -1;
    double trayWindowAt = -1;
    for (;;) {
        if (mainWindowAt < 0 && FindMainWindow())
            mainWindowAt = NowMs() - started;
        if (trayWindowAt < 0 && !FindTrayWindows().empty())
            trayWindowAt = NowMs() - started;
        if (AnyIconExists())
            break;
        if (NowMs() - started > 30000) {
            std::printf("error no icon within 30 s\n");
            return 1;
        }
        Sleep(1);
    }
    std::printf("start_to_icon_ms %.1f\nstart_to_main_window_ms %.1f\nstart_to_tray_window_ms %.1f\npid %lu\n",
                NowMs() - started, mainWindowAt, trayWindowAt, process.dwProcessId);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}

int Menus(int count) {
    std::vector<double> latencies;
    for (int i = 0; i < count; ++i) {
        std::vector<HWND> trays = FindTrayWindows();
        if (trays.empty()) {
            std::printf("error no tray window\n");
            return 1;
        }
        double posted = NowMs();
        PostIconMouseMessage(trays.front(), WM_RBUTTONDOWN);
        HWND menu = nullptr;
        while (!(menu = FindOpenMenu())) {
            if (NowMs() - posted > 10000) {
                std::printf("error no menu within 10 s at opening %d\n", i + 1);
                return 1;
            }
            Sleep(1);
        }
        latencies.push_back(NowMs() - posted);
        CancelMenu(menu);
        if (!WaitUntil(5000, [] { return FindOpenMenu() == nullptr; })) {
            std::printf("error the menu did not close at opening %d\n", i + 1);
            return 1;
        }
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("menu_openings %d\nmenu_latency_ms_median %.1f\nmenu_latency_ms_p90 %.1f\nmenu_latency_ms_max %.1f\n",
                count, latencies[latencies.size() / 2], latencies[latencies.size() * 9 / 10], latencies.back());
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 3 && wcscmp(argv[1], L"start") == 0)
        return Start(argv[2]);
    if (argc >= 3 && wcscmp(argv[1], L"menus") == 0)
        return Menus(_wtoi(argv[2]));
    if (argc >= 2 && wcscmp(argv[1], L"quit") == 0) {
        HWND window = FindMainWindow();
        if (!window || !PostMessageW(window, WM_COMMAND, kExitCommand, 0))
            return 1;
        return WaitUntil(10000, [] { return FindMainWindow() == nullptr; }) ? 0 : 1;
    }
    if (argc >= 2 && wcscmp(argv[1], L"memory") == 0) {
        std::printf("private_bytes %lld\n", PrivateBytes());
        return 0;
    }
    std::fprintf(stderr, "usage: QvTrayBench start <exe> | menus <count> | memory | quit\n");
    return 2;
}
