// Stand-in program for the process-launch tests (Windows): writes the argument string it was
// started with (its command line after the program name and the blanks that follow), in UTF-8,
// into "QvArgRecorder.out" next to itself. The file appears whole, so that a test can poll for it.
#include <windows.h>

#include <string>

#include "QvToolWin32.h"

int main() {
    wchar_t buffer[32768];
    DWORD n = GetModuleFileNameW(nullptr, buffer, 32768);
    if (n == 0 || n >= 32768)
        return 2;
    std::wstring out(buffer, n);
    out = out.substr(0, out.find_last_of(L"\\/") + 1) + L"QvArgRecorder.out";
    return WriteWhole(out, Utf8(ArgumentString(GetCommandLineW()))) ? 0 : 1;
}
