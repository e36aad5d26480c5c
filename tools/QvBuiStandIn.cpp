// Stand-in for the client's control panel qvbui.exe, installed under that name by the
// whole-program tests and the demo. It records the argument string it was started with
// (its command line after the program name) as one UTF-8 line appended to
// "qvbui_calls.txt" next to itself. With QV_STANDIN_SHOW set to a non-empty value it also
// shows that argument in a small window that closes itself after a few seconds, so a
// person watching the demo sees what the tray asked for; it never waits for input.
#include <windows.h>

#include <string>

#include "QvToolWin32.h"

namespace {

constexpr UINT kShowMilliseconds = 4000;

std::wstring CallsFilePath() {
    wchar_t module[MAX_PATH * 4];
    DWORD length = GetModuleFileNameW(nullptr, module, DWORD(sizeof(module) / sizeof(module[0])));
    std::wstring path(module, length);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"qvbui_calls.txt";
}

// One WriteFile of the whole line on a handle opened for appending: lines of stand-ins
// started close together never interleave.
bool AppendLine(const std::wstring& path, const std::string& line) {
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(file, line.data(), DWORD(line.size()), &written, nullptr) && written == line.size();
    return CloseHandle(file) && ok;
}

// A captioned white panel (a static control of its own) with the argument in it, until
// a thread timer, whose message comes with no window, ends the loop.
void ShowArgument(const std::wstring& argument) {
    const int width = 360, height = 110;
    HWND window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"STATIC", L"qvbui.exe (stand-in)",
                                  WS_POPUP | WS_CAPTION | WS_BORDER | SS_WHITERECT, 40, 40, width, height, nullptr,
                                  nullptr, nullptr, nullptr);
    if (!window)
        return;
    std::wstring text = L"Control panel started with:\n" + (argument.empty() ? L"(no argument)" : argument);
    HWND label = CreateWindowExW(0, L"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_CENTER, 10, 16, width - 20,
                                 height - 50, window, nullptr, nullptr, nullptr);
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    SetTimer(nullptr, 0, kShowMilliseconds, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0 && !(message.message == WM_TIMER && !message.hwnd))
        DispatchMessageW(&message);
    DestroyWindow(window);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    std::wstring argument = ArgumentString(GetCommandLineW());
    bool recorded = AppendLine(CallsFilePath(), Utf8(argument) + "\n");
    wchar_t show[8] = {0};
    if (GetEnvironmentVariableW(L"QV_STANDIN_SHOW", show, 8) > 0 && show[0] != L'\0')
        ShowArgument(argument);
    return recorded ? 0 : 1;
}
