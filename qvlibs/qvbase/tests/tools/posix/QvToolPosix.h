#pragma once
// Helpers shared by the POSIX stand-in and writer programs of the tests.
#include <cstdio>
#include <string>

// Writes content under a temporary name, then renames it to path: the file appears whole.
inline bool WriteWhole(const std::string& path, const std::string& content) {
    std::string temporary = path + ".part";
    FILE* file = fopen(temporary.c_str(), "wb");
    bool ok = file && fwrite(content.data(), 1, content.size(), file) == content.size();
    return file && fclose(file) == 0 && ok && rename(temporary.c_str(), path.c_str()) == 0;
}
