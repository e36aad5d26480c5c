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

TEST(QvSystemRegistry, SplitsRootKeyPathAndValueNameWithinTheirFields) {
    const std::string n999(999, 'n'), n1000(1000, 'n');
    const struct {
        std::string path;
        bool ok;
        const char* rootName;  // null: the parts are not checked
        const char* keyPath;
        const char* valueName;
    } cases[] = {
        {"HKLM/Software/Velbrook/installdir", true, "HKLM", "Software/Velbrook", "installdir"},
        {"HKLM\\Software/Velbrook\\installdir", true, "HKLM", "Software/Velbrook", "installdir"},
        {"HKEY_CURRENT_USER/Software/Velbrook/", true, "HKEY_CURRENT_USER", "Software/Velbrook", ""},
        {"HKLM//name", true, "HKLM", "", "name"},
        {"/HKLM/Key/name", true, "/HKLM", "Key", "name"},  // a leading separator belongs to the root
        {"HKLM/name", false, "HKLM", "", ""},
        {"", false, "", "", ""},
        // The root name may be 997 bytes long; the key path and value name up to 999.
        {std::string(997, 'R') + "/k/v", true, nullptr, nullptr, nullptr},
        {std::string(998, 'R') + "/k/v", false, nullptr, nullptr, nullptr},
        {"HKLM/" + n999 + "/v", true, nullptr, nullptr, nullptr},
        {"HKLM/" + n1000 + "/v", false, nullptr, nullptr, nullptr},
        {"HKLM/k/" + n999, true, nullptr, nullptr, nullptr},
        {"HKLM/k/" + n1000, false, nullptr, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        QvSystem::QvRegistryPathParts parts;
        memset(&parts, 0xbd, sizeof(parts));
        EXPECT_EQ(c.ok, QvSystem::SplitRegistryPath(c.path.c_str(), &parts)) << c.path.size() << ": " << c.path;
        if (c.rootName) {
            EXPECT_STREQ(c.rootName, parts.rootName) << c.path;
            EXPECT_STREQ(c.keyPath, parts.keyPath) << c.path;
            EXPECT_STREQ(c.valueName, parts.valueName) << c.path;
        }
    }
    EXPECT_FALSE(QvSystem::SplitRegistryPath(nullptr, nullptr));
}

TEST(QvSystemRegistry, MapsExactRootNamesToPredefinedKeys) {
    using namespace QvSystem;
    const struct { const char* path; QvRegistryRoot key; } cases[] = {
        {"HKCR/k/v", kRegistryRootClassesRoot}, {"HKEY_CLASSES_ROOT/k/v", kRegistryRootClassesRoot},
        {"HKCU/k/v", kRegistryRootCurrentUser}, {"HKEY_CURRENT_USER/k/v", kRegistryRootCurrentUser},
        {"HKLM", kRegistryRootLocalMachine},    {"HKEY_LOCAL_MACHINE\\k\\v", kRegistryRootLocalMachine},
        {"HKU/k/v", kRegistryRootUsers},        {"HKEY_USERS/k/v", kRegistryRootUsers},
        {"HKCC/k/v", kRegistryRootCurrentConfig}, {"HKEY_CURRENT_CONFIG/k/v", kRegistryRootCurrentConfig},
        {"HKDD/k/v", kRegistryRootDynData},     {"HKEY_DYN_DATA/k/v", kRegistryRootDynData},
        {"hklm/k/v", kRegistryRootNone},        {"HKLMX/k/v", kRegistryRootNone},
        {"/HKLM/k/v", kRegistryRootNone},       {"", kRegistryRootNone},
        {nullptr, kRegistryRootNone},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.key, ParseRegistryRootKey(c.path)) << (c.path ? c.path : "(null)");
}

// Each test writes below its own key (Windows shares one registry between test programs)
// and, on POSIX, into a store in its own temporary folder.
class QvSystemRegistryRead : public QvTempDirTest {
protected:
    void SetUp() override {
        QvTempDirTest::SetUp();
        ASSERT_TRUE(QvTestSystem::UseRegistryStore(temp.Join("registry")));
        baseKey = std::string("Software\\VelbrookTest\\") +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" +
                  std::to_string(QvPlatform::GetCurrentProcessId());
        ASSERT_TRUE(QvTestSystem::DeleteRegistryTree(kRoot, baseKey));
    }
    void TearDown() override { QvTestSystem::DeleteRegistryTree(kRoot, baseKey); }
    bool Write(const std::string& subKey, const std::string& name, const std::string& value) {
        return QvTestSystem::WriteRegistryString(kRoot, baseKey + "\\" + subKey, name, value);
    }

    static const uint32_t kRoot = QvSystem::kRegistryRootLocalMachine;
    std::string baseKey;
};

TEST_F(QvSystemRegistryRead, ReadsOnlyNonEmptyStringValuesThatFit) {
    const std::string longKey = std::string(200, 'a') + "\\" + std::string(200, 'b');
    const std::string longName(200, 'v');
    const std::string text = "C:\\Donn\xC3\xA9" "es \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80";
    ASSERT_TRUE(Write("Velbrook", "installdir", "D:\\Apps\\Velbrook"));
    ASSERT_TRUE(Write("Key", "", "default text"));
    ASSERT_TRUE(Write("Key", "empty", ""));
    // 4999 UTF-16 units and the terminator are exactly 10000 bytes.
    ASSERT_TRUE(Write("Key", "fits", std::string(4999, 'x')));
    ASSERT_TRUE(Write("Key", "toolong", std::string(5000, 'x')));
    ASSERT_TRUE(Write(longKey, longName, text));
    ASSERT_TRUE(QvTestSystem::WriteRegistryNumber(kRoot, baseKey + "\\Key", "number", 1234));
    std::string slashed = baseKey;
    for (char& c : slashed)
        c = c == '\\' ? '/' : c;
    const std::string base = "HKLM/" + slashed + "/";
    // An empty expected text: the read fails.
    const struct { std::string path; std::string expected; } cases[] = {
        {base + "Velbrook/installdir", "D:\\Apps\\Velbrook"},
        {"HKLM\\" + baseKey + "\\Velbrook\\installdir", "D:\\Apps\\Velbrook"},
        {"HKLM/" + baseKey + "/Velbrook\\installdir", "D:\\Apps\\Velbrook"},
        {"HKEY_LOCAL_MACHINE/" + slashed + "/Velbrook/installdir", "D:\\Apps\\Velbrook"},
        {"hklm/" + slashed + "/Velbrook/installdir", ""},
        {base + "Key/", "default text"},
        {base + longKey + "/" + longName, text},
        {base + "Key/fits", std::string(4999, 'x')},
        {base + "Key/toolong", ""},
        {base + "Key/empty", ""},
        {base + "Key/number", ""},
        {base + "Key/absent", ""},
        {base + "NoSuchKey/name", ""},
        {"HKLM/name", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        QvString out("sentinel");
        EXPECT_EQ(!c.expected.empty(), QvSystem::ReadRegistryString(c.path.c_str(), &out)) << c.path;
        EXPECT_EQ(c.expected, out.GetText()) << c.path;
    }
    QvString out("sentinel");
    EXPECT_FALSE(QvSystem::ReadRegistryString(nullptr, &out));
    EXPECT_EQ(0, out.GetLength());
    EXPECT_FALSE(QvSystem::ReadRegistryString((base + "Key/fits").c_str(), nullptr));
}

}  // namespace
