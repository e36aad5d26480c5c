// Stand-in program for the process-launch tests (Windows): records the argument string
// it was started with, that is its command line after the program name and the blanks
// that follow it. The file named by %QV_ARG_RECORDER_OUT%, else "QvArgRecorder.out" next
// to the program, receives it in UTF-8; the whole command line goes to the same name with
// ".cmdline" appended. Each file appears whole (written under a temporary name, then
// renamed), the main one last, so a test can poll for it.
#include <windows.h>

#include <string>

static std::string Utf8(const wchar_t* text, size_t count) {
    if (count == 0)
        return std::string();
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, int(count), nullptr, 0, nullptr, nullptr);
    std::string utf8(size_t(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, int(count), &utf8[0], bytes, nullptr, nullptr);
    return utf8;
}

static bool WriteWhole(const std::wstring& path, const std::string& content) {
    std::wstring temporary = path + L".part";
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = content.empty() || (WriteFile(file, content.data(), DWORD(content.size()), &written, nullptr) &&
                                  written == content.size());
    ok = CloseHandle(file) && ok;
    return ok && MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

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

    // The program name ends at its closing quote, or at the first blank or tab when it is
    // not quoted (the rule the C runtime applies to the program name).
    const wchar_t* commandLine = GetCommandLineW();
    const wchar_t* p = commandLine;
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"')
            ++p;
        if (*p)
            ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t')
            ++p;
    }
    while (*p == L' ' || *p == L'\t')
        ++p;
    std::wstring whole(commandLine);
    std::wstring rest(p);
    return WriteWhole(out + L".cmdline", Utf8(whole.c_str(), whole.size())) &&
                   WriteWhole(out, Utf8(rest.c_str(), rest.size()))
               ? 0
               : 1;
}
