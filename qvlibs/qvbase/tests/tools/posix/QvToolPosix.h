#pragma once
// Helpers shared by the POSIX stand-in and writer programs of the tests.
#include <cstdio>
#include <string>
#include <vector>

// Writes content under a temporary name, then renames it to path: the file appears whole.
inline bool WriteWhole(const std::string& path, const std::string& content) {
    std::string temporary = path + ".part";
    FILE* file = fopen(temporary.c_str(), "wb");
    bool ok = file && fwrite(content.data(), 1, content.size(), file) == content.size();
    return file && fclose(file) == 0 && ok && rename(temporary.c_str(), path.c_str()) == 0;
}

// The words of a command line as a Windows program's C runtime splits it, for the plain
// cases the tests write: blanks separate, double quotes group (no escapes). A started
// program receives its argument string whole, as on Windows.
inline std::vector<std::string> SplitCommandLine(const char* line) {
    std::vector<std::string> words;
    bool quoted = false, inWord = false;
    for (const char* p = line; *p; ++p) {
        if (*p == '"') {
            quoted = !quoted;
            if (!inWord)
                words.emplace_back();
            inWord = true;
        } else if (*p == ' ' && !quoted) {
            inWord = false;
        } else {
            if (!inWord)
                words.emplace_back();
            inWord = true;
            words.back() += *p;
        }
    }
    return words;
}
