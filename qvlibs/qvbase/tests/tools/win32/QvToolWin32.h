#pragma once
// Helpers shared by the Windows stand-in and writer programs of the tests.
#include <windows.h>

#include <string>

inline std::string Utf8(const std::wstring& text) {
    if (text.empty())
        return std::string();
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(size_t(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &utf8[0], bytes, nullptr, nullptr);
    return utf8;
}

// The argument string of a command line: the program name ends at its closing quote, or
// at the first blank or tab when it is not quoted (the rule the C runtime applies to the
// program name); the blanks after it are not part of the argument.
inline std::wstring ArgumentString(const wchar_t* commandLine) {
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
    return std::wstring(p);
}

// Writes content under a temporary name, then renames it to path: the file appears whole.
inline bool WriteWhole(const std::wstring& path, const std::string& content) {
    std::wstring temporary = path + L".part";
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = content.empty() || (WriteFile(file, content.data(), DWORD(content.size()), &written, nullptr) &&
                                  written == content.size());
    ok = CloseHandle(file) && ok;
    return ok && MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}
