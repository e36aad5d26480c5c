// Stand-in program for the process-launch tests (Windows): records the argument string
// it was started with, that is its command line after the program name and the blanks
// that follow it. The file named by %QV_ARG_RECORDER_OUT%, else "QvArgRecorder.out" next
// to the program, receives it in UTF-8; the whole command line goes to the same name with
// ".cmdline" appended. Each file appears whole (written under a temporary name, then
// renamed), the main one last, so a test can poll for it.
#include <windows.h>

#include <string>

#include "QvToolWin32.h"

int main() {
    std::wstring out;
    wchar_t buffer[32768];
    DWORD n = GetEnvironmentVariableW(L"QV_ARG_RECORDER_OUT", buffer, 32768);
    if (n > 0 && n < 32768) {
        out.assign(buffer, n);
    } else {
        n = GetModuleFileNameW(nullptr, buffer, 32768);
        if (n == 0 || n >= 32768)
            return 2;
        out.assign(buffer, n);
        out = out.substr(0, out.find_last_of(L"\\/") + 1) + L"QvArgRecorder.out";
    }

    const wchar_t* commandLine = GetCommandLineW();
    return WriteWhole(out + L".cmdline", Utf8(commandLine)) && WriteWhole(out, Utf8(ArgumentString(commandLine)))
               ? 0
               : 1;
}
