#pragma once
// Test support: the library's strings and lists as standard texts (a failed comparison prints
// them), and the fixture of the tests that arm allocation failures.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "QvTestPlatform.h"
#include "qvbase/QvString.h"
#include "qvbase/QvVolumeInfo.h"

// A file the build names by its path on the build machine: the shipped data, a helper
// program. A test bundle run on another machine names the folder that holds them all in
// QV_TEST_DATA_DIR instead, and each is found there by its file name.
inline std::string QvTestDataFile(const char* builtPath) {
    const char* folder = getenv("QV_TEST_DATA_DIR");
    if (!folder || !*folder)
        return builtPath;
    const std::string path(builtPath);
    const size_t separator = path.find_last_of("/\\");
    return std::string(folder) + "/" + path.substr(separator == std::string::npos ? 0 : separator + 1);
}

// A host path as a Windows program under Wine opens it: backslashes, and the host's root as
// drive Z:. A path that already names a drive is only given backslashes.
inline std::string QvTestWinePath(std::string path) {
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return !path.empty() && path[0] == '\\' ? "Z:" + path : path;
}

// The bytes up to the length, terminators among them included.
inline std::string TextOf(const QvString& s) { return std::string(s.GetText(), size_t(s.GetLength())); }

// A list's items up to their terminators: a string vector's texts, a volume list's mount points.
inline const char* ItemText(const QvString* s) { return s->GetText(); }
inline const char* ItemText(const QvVolumeInfo* volume) { return volume->GetMountPointText(); }
template <typename List>
std::vector<std::string> Items(const List& list) {
    std::vector<std::string> items;
    for (int32_t i = 0; i < list.GetCount(); i++)
        items.push_back(ItemText(list.GetAt(i)));
    return items;
}

// Tests that arm allocation failures leave them off.
struct QvAllocationFailureTest : ::testing::Test {
    void TearDown() override { QvPlatformTest::FailAllocationNumber(0); }
};
