#pragma once
// Helpers shared by the Windows stand-in and writer programs of the tests.
#include <windows.h>

#include <cwchar>
#include <string>

inline std::string Utf8(const std::wstring& text) {
    std::string utf8(text.size() * 3, '\0');
    utf8.resize(size_t(WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &utf8[0], int(utf8.size()),
                                           nullptr, nullptr)));
    return utf8;
}

// The argument string of a command line: the program name ends at its closing quote, or at the
// first blank or tab when it is not quoted (the C runtime's rule for the program name); the
// blanks after it are not part of the argument.
inline std::wstring ArgumentString(const wchar_t* commandLine) {
    const wchar_t *p = commandLine, *close = *p == L'"' ? wcschr(p + 1, L'"') : nullptr;
    p = close ? close + 1 : *p == L'"' ? p + wcslen(p) : p + wcscspn(p, L" \t");
    return std::wstring(p + wcsspn(p, L" \t"));
}

// Writes content under a temporary name, then renames it to path: the file appears whole.
inline bool WriteWhole(const std::wstring& path, const std::string& content) {
    std::wstring temporary = path + L".part";
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = content.empty() ||
              (WriteFile(file, content.data(), DWORD(content.size()), &written, nullptr) && written == content.size());
    return CloseHandle(file) && ok && MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}
