#pragma once
// Test support: the library's strings and lists as standard texts (a failed comparison prints
// them), and the fixture of the tests that arm allocation failures.

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "QvTestPlatform.h"
#include "qvbase/QvString.h"
#include "qvbase/QvVolumeInfo.h"

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
