// Registry path access: splitting paths, naming root keys, and reading string values
// from the registry (Windows) or the directory store (POSIX) written by the test itself.
#include "qvbase/QvSystem.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "QvTempDir.h"
#include "QvTestSystem.h"
#include "platform/QvPlatformClock.h"
#include "qvbase/QvString.h"

namespace {

using QvSystem::QvRegistryPathParts;

struct SplitCase {
    std::string path;
    bool ok;
    std::string rootName;
    std::string keyPath;
    std::string valueName;
};

TEST(QvSystemRegistry, SplitsRootKeyPathAndValueName) {
    const SplitCase cases[] = {
        {"HKLM/Software/Velbrook/installdir", true, "HKLM", "Software/Velbrook", "installdir"},
        {"HKLM\\Software\\Velbrook\\installdir", true, "HKLM", "Software\\Velbrook", "installdir"},
        {"HKLM\\Software/Velbrook\\installdir", true, "HKLM", "Software/Velbrook", "installdir"},
        {"HKEY_CURRENT_USER/Software/Velbrook/", true, "HKEY_CURRENT_USER", "Software/Velbrook", ""},
        {"HKLM//name", true, "HKLM", "", "name"},
        {"HKLM/Key/", true, "HKLM", "Key", ""},
        // A leading separator belongs to the root name.
        {"/HKLM/Key/name", true, "/HKLM", "Key", "name"},
        // No key/value division after the root.
        {"HKLM/name", false, "HKLM", "", ""},
        {"HKLM", false, "HKLM", "", ""},
        {"", false, "", "", ""},
    };
    for (const SplitCase& c : cases) {
        QvRegistryPathParts parts;
        memset(&parts, 0xbd, sizeof(parts));
        EXPECT_EQ(c.ok, QvSystem::SplitRegistryPath(c.path.c_str(), &parts)) << c.path;
        EXPECT_EQ(c.rootName, parts.rootName) << c.path;
        EXPECT_EQ(c.keyPath, parts.keyPath) << c.path;
        EXPECT_EQ(c.valueName, parts.valueName) << c.path;
    }
    EXPECT_FALSE(QvSystem::SplitRegistryPath(nullptr, nullptr));
}

TEST(QvSystemRegistry, SplitKeepsEachPartWithinItsField) {
    // The root name may be 997 bytes long; the key path and value name up to 999.
    std::string root997(997, 'R');
    std::string root998(998, 'R');
    std::string root1000(1000, 'R');
    std::string name999(999, 'n');
    std::string name1000(1000, 'n');
    struct LimitCase {
        std::string path;
        bool ok;
    } cases[] = {
        {root997 + "/k/v", true},
        {root998 + "/k/v", false},
        {root1000, false},
        {"HKLM/" + name999 + "/v", true},
        {"HKLM/" + name1000 + "/v", false},
        {"HKLM/k/" + name999, true},
        {"HKLM/k/" + name1000, false},
    };
    for (const LimitCase& c : cases) {
        QvRegistryPathParts parts;
        EXPECT_EQ(c.ok, QvSystem::SplitRegistryPath(c.path.c_str(), &parts)) << c.path.size() << " bytes";
    }
}

TEST(QvSystemRegistry, MapsExactRootNamesToPredefinedKeys) {
    struct RootCase {
        const char* path;
        QvSystem::QvRegistryRoot key;
    } cases[] = {
        {"HKCR/k/v", QvSystem::kRegistryRootClassesRoot},
        {"HKEY_CLASSES_ROOT/k/v", QvSystem::kRegistryRootClassesRoot},
        {"HKCU/k/v", QvSystem::kRegistryRootCurrentUser},
        {"HKEY_CURRENT_USER/k/v", QvSystem::kRegistryRootCurrentUser},
        {"HKLM/k/v", QvSystem::kRegistryRootLocalMachine},
        {"HKEY_LOCAL_MACHINE\\k\\v", QvSystem::kRegistryRootLocalMachine},
        {"HKU/k/v", QvSystem::kRegistryRootUsers},
        {"HKEY_USERS/k/v", QvSystem::kRegistryRootUsers},
        {"HKCC/k/v", QvSystem::kRegistryRootCurrentConfig},
        {"HKEY_CURRENT_CONFIG/k/v", QvSystem::kRegistryRootCurrentConfig},
        {"HKDD/k/v", QvSystem::kRegistryRootDynData},
        {"HKEY_DYN_DATA/k/v", QvSystem::kRegistryRootDynData},
        {"HKLM", QvSystem::kRegistryRootLocalMachine},
        {"hklm/k/v", QvSystem::kRegistryRootNone},
        {"Hkey_Local_Machine/k/v", QvSystem::kRegistryRootNone},
        {"HKLMX/k/v", QvSystem::kRegistryRootNone},
        {"HKEY_PERFORMANCE_DATA/k/v", QvSystem::kRegistryRootNone},
        {"/HKLM/k/v", QvSystem::kRegistryRootNone},
        {"", QvSystem::kRegistryRootNone},
    };
    for (const RootCase& c : cases)
        EXPECT_EQ(c.key, QvSystem::ParseRegistryRootKey(c.path)) << c.path;
    EXPECT_EQ(QvSystem::kRegistryRootNone, QvSystem::ParseRegistryRootKey(nullptr));
}

// Each test writes below its own key (Windows shares one registry between test programs)
// and, on POSIX, into a store in its own temporary folder.
class QvSystemRegistryRead : public QvTempDirTest {
protected:
    void SetUp() override {
        QvTempDirTest::SetUp();
        ASSERT_TRUE(QvTestSystem::UseRegistryStore(temp.Join("registry")));
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        baseKey = std::string("Software\\VelbrookTest\\") + info->name() + "-" +
                  std::to_string(QvPlatform::GetCurrentProcessId());
        ASSERT_TRUE(QvTestSystem::DeleteRegistryTree(kRoot, baseKey));
    }
    void TearDown() override { QvTestSystem::DeleteRegistryTree(kRoot, baseKey); }

    bool Write(const std::string& subKey, const std::string& name, const std::string& value) {
        return QvTestSystem::WriteRegistryString(kRoot, baseKey + "\\" + subKey, name, value);
    }
    // "HKLM/<base>/<rest>" with the base in the given separator style.
    std::string PathTo(const std::string& rest, const std::string& root = "HKLM") const {
        return root + "/" + baseKey + "/" + rest;
    }
    // Reads into a string that already holds text, to see it emptied on failure.
    bool Read(const std::string& path, std::string* value) {
        QvString out("sentinel");
        bool ok = QvSystem::ReadRegistryString(path.c_str(), &out);
        *value = out.GetText();
        return ok;
    }

    static const uint32_t kRoot = QvSystem::kRegistryRootLocalMachine;
    std::string baseKey;
};

TEST_F(QvSystemRegistryRead, ReadsTheSameValueWhateverTheSeparatorsAndRootSpelling) {
    ASSERT_TRUE(Write("Velbrook", "installdir", "D:\\Apps\\Velbrook"));
    std::string backslashed = baseKey;
    std::string slashed = baseKey;
    for (char& c : slashed)
        c = c == '\\' ? '/' : c;
    const std::string paths[] = {
        "HKLM/" + slashed + "/Velbrook/installdir",
        "HKLM\\" + backslashed + "\\Velbrook\\installdir",
        "HKLM/" + backslashed + "/Velbrook\\installdir",
        "HKEY_LOCAL_MACHINE/" + slashed + "/Velbrook/installdir",
    };
    for (const std::string& path : paths) {
        std::string value;
        EXPECT_TRUE(Read(path, &value)) << path;
        EXPECT_EQ("D:\\Apps\\Velbrook", value) << path;
    }
    std::string value;
    EXPECT_FALSE(Read("hklm/" + slashed + "/Velbrook/installdir", &value));
    EXPECT_EQ("", value);
}

TEST_F(QvSystemRegistryRead, PathEndingInASeparatorReadsTheDefaultValue) {
    ASSERT_TRUE(Write("Key", "", "default text"));
    ASSERT_TRUE(Write("Key", "named", "named text"));
    std::string value;
    EXPECT_TRUE(Read(PathTo("Key/"), &value));
    EXPECT_EQ("default text", value);
    EXPECT_TRUE(Read(PathTo("Key/named"), &value));
    EXPECT_EQ("named text", value);
}

TEST_F(QvSystemRegistryRead, EmptyStringNumberAndMissingValuesGiveFalse) {
    ASSERT_TRUE(Write("Key", "empty", ""));
    ASSERT_TRUE(QvTestSystem::WriteRegistryNumber(kRoot, baseKey + "\\Key", "number", 1234));
    const char* names[] = {"empty", "number", "absent"};
    for (const char* name : names) {
        std::string value;
        EXPECT_FALSE(Read(PathTo(std::string("Key/") + name), &value)) << name;
        EXPECT_EQ("", value) << name;
    }
    std::string value;
    EXPECT_FALSE(Read(PathTo("NoSuchKey/name"), &value));
    EXPECT_FALSE(Read("HKLM/name", &value));
    EXPECT_FALSE(Read("", &value));
    EXPECT_EQ("", value);
    QvString out("sentinel");
    EXPECT_FALSE(QvSystem::ReadRegistryString(nullptr, &out));
    EXPECT_EQ(0, out.GetLength());
    EXPECT_FALSE(QvSystem::ReadRegistryString(PathTo("Key/empty").c_str(), nullptr));
}

TEST_F(QvSystemRegistryRead, ReadsValuesUpToTenThousandBytesWithTheTerminator) {
    // 4999 UTF-16 units and the terminator are exactly 10000 bytes.
    ASSERT_TRUE(Write("Key", "fits", std::string(4999, 'x')));
    ASSERT_TRUE(Write("Key", "toolong", std::string(5000, 'x')));
    std::string value;
    EXPECT_TRUE(Read(PathTo("Key/fits"), &value));
    EXPECT_EQ(4999u, value.size());
    EXPECT_FALSE(Read(PathTo("Key/toolong"), &value));
    EXPECT_EQ("", value);
}

TEST_F(QvSystemRegistryRead, ReadsLongNamesAndTextBeyondAscii) {
    std::string keyPath = std::string(200, 'a') + "\\" + std::string(200, 'b') + "\\" + std::string(200, 'c');
    std::string valueName(200, 'v');
    std::string text = "C:\\Donn\xC3\xA9" "es \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80";
    ASSERT_TRUE(Write(keyPath, valueName, text));
    std::string value;
    EXPECT_TRUE(Read(PathTo(keyPath + "/" + valueName), &value));
    EXPECT_EQ(text, value);
}

}  // namespace
