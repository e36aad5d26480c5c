// Allocation-failure torture: each operation of the table runs once to count its
// allocations, then once per allocation with exactly that one failing. Each run must end
// with the full result or in the documented failure state, never in a crash; the
// sanitizer build's leak checker proves that no failure path leaks.
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "QvTempDir.h"
#include "config/QvInfoManagerTestHooks.h"
#include "platform/QvPlatformClock.h"
#include "platform/QvPlatformMemory.h"
#include "qvbase/QvFile.h"
#include "qvbase/QvFileXml.h"
#include "qvbase/QvHashTable.h"
#include "qvbase/QvInfoManager.h"
#include "qvbase/QvString.h"
#include "qvbase/QvStringVector.h"
#include "qvbase/QvUtf16String.h"

namespace {

enum class Outcome { Complete, DocumentedFailure, Broken };

// A case prepares its objects (no failure armed) and hands back the operation, which runs
// with the failure armed and judges its own result.
typedef std::function<Outcome()> Operation;
struct TortureCase {
    const char* name;
    std::function<Operation()> prepare;
};

// The state every failed allocation inside a string must leave.
bool IsNoBuffer(const QvString& s) {
    return s.GetLength() == 0 && s.GetCapacity() == 0 && s.GetText() != nullptr && s.GetText()[0] == 0;
}
bool HasText(const QvString& s, const std::string& text) {
    return s.GetText() != nullptr && std::string(s.GetText(), s.GetLength()) == text &&
           s.GetLength() + 1 <= s.GetCapacity() && s.GetText()[s.GetLength()] == 0;
}
Outcome Judge(bool complete, bool documentedFailure) {
    return complete ? Outcome::Complete : documentedFailure ? Outcome::DocumentedFailure : Outcome::Broken;
}
// The items are the expected ones, all of them (complete) or in order with some left out
// or left without a buffer (documented failure).
Outcome JudgeItems(const QvStringVector& items, const std::vector<std::string>& expected, bool inOrder) {
    bool complete = items.GetCount() == int32_t(expected.size());
    for (int32_t i = 0; complete && i < items.GetCount(); ++i)
        complete = HasText(*items.GetAt(i), expected[i]);
    size_t next = 0;
    bool failure = items.GetCount() <= int32_t(expected.size());
    for (int32_t i = 0; failure && i < items.GetCount(); ++i) {
        const QvString& item = *items.GetAt(i);
        if (!inOrder)
            next = 0;
        while (next < expected.size() && !HasText(item, expected[next]))
            ++next;
        failure = next++ < expected.size() || (!inOrder && IsNoBuffer(item));
    }
    return Judge(complete, failure);
}

const std::string kLong(200, 'x');
const std::string kAccented = "\xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80 C:\\Donn\xC3\xA9" "es";
const std::string kXml =
    "<list><qvvolume qvVolumeGuid=\"v1\" mountPointPath=\"C:\\\" /><qvvolume>plain</qvvolume>"
    "<qvvolume name=\"a&amp;b&lt;c\">x</qvvolume></list>";

// A string operation on a string made from start: the expected text, or (also) the
// original text as an accepted failure besides the string without a buffer.
TortureCase OnString(const char* name, const char* start, std::function<void(QvString*)> op, std::string expected,
                     bool keepsOriginalOnFailure = false) {
    return {name, [=] {
                auto s = std::make_shared<QvString>(start);
                return Operation([=] {
                    op(s.get());
                    return Judge(HasText(*s, expected), IsNoBuffer(*s) || (keepsOriginalOnFailure && HasText(*s, start)));
                });
            }};
}

TortureCase ToUtf16(const char* name, const std::string& text) {
    return {name, [text] {
                auto source = std::make_shared<QvString>(text.c_str());
                QvUtf16String reference;  // the expected units, from a run without failures
                QvUtf16String::ConvertUtf8QvStringToUtf16(source.get(), &reference, nullptr);
                std::u16string expected(reference.GetText(), reference.GetUnitCount());
                return Operation([source, expected] {
                    QvUtf16String wide;
                    QvString error;
                    bool result = QvUtf16String::ConvertUtf8QvStringToUtf16(source.get(), &wide, &error);
                    return Judge(result && std::u16string(wide.GetText(), wide.GetUnitCount()) == expected,
                                 wide.GetLength() == 0);
                });
            }};
}

TortureCase ToUtf8(const char* name, const std::string& text) {
    return {name, [text] {
                auto wide = std::make_shared<QvUtf16String>();
                QvString source(text.c_str());
                QvUtf16String::ConvertUtf8QvStringToUtf16(&source, wide.get(), nullptr);
                return Operation([wide, text] {
                    QvString utf8, error;
                    bool result = QvUtf16String::ConvertUtf16QvStringToUtf8(wide.get(), &utf8, &error);
                    return Judge(result && HasText(utf8, text), utf8.GetLength() == 0);
                });
            }};
}

std::vector<TortureCase> AllCases() {
    std::string longText;
    while (longText.size() < 400)
        longText += kAccented;
    return {
        {"QvString construction from text",
         [] {
             return [] {
                 std::unique_ptr<QvString> s(new QvString(kLong.c_str()));
                 return s ? Judge(HasText(*s, kLong), IsNoBuffer(*s)) : Outcome::DocumentedFailure;
             };
         }},
        OnString("QvString::Append (stepped growth)", "0123456789", [](QvString* s) { s->Append(kLong.c_str()); },
                 "0123456789" + kLong),
        OnString("QvString::Set (exact growth)", "short", [](QvString* s) { s->Set(kLong.c_str()); }, kLong),
        // A failed temporary appends nothing; a failed growth empties the string.
        OnString("QvString::AppendFormat", "n=", [](QvString* s) { s->AppendFormat("%s|%d", kLong.c_str(), -42); },
                 "n=" + kLong + "|-42", true),
        OnString("QvString::Insert", "abcdef", [](QvString* s) { s->Insert(3, kLong.c_str()); }, "abc" + kLong + "def"),
        {"QvString::NewMid",
         [] {
             auto s = std::make_shared<QvString>(kLong.c_str());
             return [s] {
                 std::unique_ptr<QvString> mid(s->NewMid(10, 100));
                 return mid ? Judge(HasText(*mid, kLong.substr(10, 100)), IsNoBuffer(*mid)) : Outcome::DocumentedFailure;
             };
         }},
        ToUtf16("ConvertUtf8QvStringToUtf16, short text (stack area)", kAccented),
        ToUtf16("ConvertUtf8QvStringToUtf16, long text (4 MB work block)", longText),
        ToUtf16("ConvertUtf8QvStringToUtf16, invalid text (byte-wise fallback)", "A\xE9" "B" + kLong),
        ToUtf8("ConvertUtf16QvStringToUtf8, short text (stack area)", kAccented),
        ToUtf8("ConvertUtf16QvStringToUtf8, long text (4 MB work block)", longText),
        {"QvStringVector::Add, growth at the 51st item",
         [] {
             auto vector = std::make_shared<QvStringVector>();
             for (int i = 0; i < 50; ++i)
                 vector->Add(new QvString("item"));
             return [vector] {
                 QvString* item = new QvString("last");
                 if (!item)
                     return Outcome::DocumentedFailure;
                 if (!vector->Add(item)) {
                     delete item;  // refused: the item stays the caller's; the vector has no slots
                     return Judge(false, vector->GetCount() == 0 && vector->GetCapacity() == 0);
                 }
                 return Judge(vector->GetCount() == 51 && HasText(*vector->GetAt(50), "last"),
                              vector->GetCount() == 51 && IsNoBuffer(*vector->GetAt(50)));
             };
         }},
        // A field whose copy failed is left out or has no buffer; a failed growth of the
        // vector drops the items gathered so far.
        {"QvStringVector::SplitCommaList",
         [] {
             auto source = std::make_shared<QvString>(" alpha, beta ,,gamma ,delta");
             return [source] {
                 QvStringVector items;
                 QvStringVector::SplitCommaList(source.get(), &items);
                 return JudgeItems(items, {"alpha", "beta", "", "gamma", "delta"}, false);
             };
         }},
        // Without buckets every operation returns at once; a key whose node could not be had
        // is dropped; a name that could not be copied is no name.
        {"QvHashTable construction and insert",
         [] {
             return [] {
                 QvHashTable table(50);
                 table.SetName("excludefiletypes");
                 const char* keys[] = {"tmp", "log", "bak", ""};
                 int32_t present = 0;
                 for (const char* key : keys)
                     table.Insert(key, int32_t(strlen(key)));
                 for (const char* key : keys)
                     present += table.Contains(key, int32_t(strlen(key))) ? 1 : 0;
                 bool named = table.GetName() && strcmp(table.GetName(), "excludefiletypes") == 0;
                 return Judge(table.HasBuckets() && present == 4 && table.GetEntryCount() == 4 && named,
                              (!table.HasBuckets() && table.GetEntryCount() == 0) ||
                                  (table.GetEntryCount() == present && (named || !table.GetName())));
             };
         }},
        {"QvHashTable::Insert, heap fallback after the pool",
         [] {
             auto table = std::make_shared<QvHashTable>(10);
             for (int filled = 0; table->IsAllInPool() && table->GetPoolUsed() + 64 <= table->GetPoolSize() && filled < 1000;) {
                 std::string key = "pooled" + std::to_string(filled++);
                 table->Insert(key.c_str(), int32_t(key.size()));
             }
             return [table] {
                 int32_t before = table->GetEntryCount();
                 const std::string keys[] = {"heap-key-of-some-length", "another-heap-key"};
                 int32_t present = 0;
                 for (const std::string& key : keys)
                     table->Insert(key.c_str(), int32_t(key.size()));
                 for (const std::string& key : keys)
                     present += table->Contains(key.c_str(), int32_t(key.size())) ? 1 : 0;
                 bool consistent = table->GetEntryCount() == before + present;
                 table->Clear();  // frees the heap nodes one by one
                 return Judge(consistent && present == 2, consistent && table->GetEntryCount() == 0);
             };
         }},
        // Snippets whose copy failed are left out; the result says whether any is left.
        {"GetAllXmlSnippetsWithTagNameInXml",
         [] {
             auto buffer = std::make_shared<QvString>(kXml.c_str());
             return [buffer] {
                 QvStringVector snippets;
                 bool found = QvFile::GetAllXmlSnippetsWithTagNameInXml(buffer.get(), "qvvolume", &snippets);
                 Outcome items = JudgeItems(snippets,
                                            {"<qvvolume qvVolumeGuid=\"v1\" mountPointPath=\"C:\\\" />",
                                             "<qvvolume name=\"a&amp;b&lt;c\">x</qvvolume>", "<qvvolume>plain</qvvolume>"},
                                            true);
                 return found == (snippets.GetCount() > 0) ? items : Outcome::Broken;
             };
         }},
        {"GetUniqueStrAttrFromXmlSnippet with references",
         [] {
             return [] {
                 QvString value;
                 bool found = QvFile::GetUniqueStrAttrFromXmlSnippet(kXml.c_str(), "name", &value);
                 return Judge(found && HasText(value, "a&b<c"), value.GetLength() == 0);
             };
         }},
        {"DecodeXmlEntities",
         [] {
             auto source = std::make_shared<QvString>("a&amp;b&lt;c&#x5C;d&quot;e&#39;f");
             return [source] {
                 QvString out;
                 bool result = QvFile::DecodeXmlEntities(source.get(), &out);
                 return Judge(result && HasText(out, "a&b<c\\d\"e'f"), out.GetLength() <= source->GetLength());
             };
         }},
    };
}

// Runs one case: the count, then every failure point. Returns the documented failures.
long long Torture(const TortureCase& torture, long long* allocationsOut = nullptr) {
    QvPlatformTest::FailAllocationNumber(0);
    Operation counted = torture.prepare();
    long long before = QvPlatformTest::GetAllocationCount();
    EXPECT_EQ(Outcome::Complete, counted()) << torture.name << ": fails without a failing allocation";
    long long allocations = QvPlatformTest::GetAllocationCount() - before, documented = 0;
    counted = nullptr;
    EXPECT_GT(allocations, 0) << torture.name << ": allocates nothing";
    for (long long n = 1; n <= allocations; ++n) {
        Operation operation = torture.prepare();
        QvPlatformTest::FailAllocationNumber(n);
        Outcome outcome = operation();
        QvPlatformTest::FailAllocationNumber(0);
        operation = nullptr;  // destroys what the case built, after the failure
        EXPECT_NE(Outcome::Broken, outcome) << torture.name << ": allocation " << n << " of " << allocations << " failing";
        documented += outcome == Outcome::DocumentedFailure ? 1 : 0;
    }
    std::printf("[ torture  ] %-62s allocations %4lld, failure points passed %4lld (%lld documented failures)\n",
                torture.name, allocations, allocations, documented);
    std::fflush(stdout);
    if (allocationsOut)
        *allocationsOut = allocations;
    return documented;
}

class QvTorture : public ::testing::TestWithParam<size_t> {
protected:
    void TearDown() override { QvPlatformTest::FailAllocationNumber(0); }
};

// Some operations allocate only objects of their own whose later assignments allocate
// afresh (a short conversion works in a stack area), so not every failure shows.
TEST_P(QvTorture, EveryFailingAllocationLeavesTheDocumentedState) { Torture(AllCases().at(GetParam())); }

std::string CaseName(const ::testing::TestParamInfo<size_t>& info) {
    std::string out = std::to_string(info.param) + "_";
    for (char c : std::string(AllCases()[info.param].name).substr(0, 60))
        out += isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return out;
}

INSTANTIATE_TEST_SUITE_P(Operations, QvTorture, ::testing::Range<size_t>(0, AllCases().size()), CaseName);

// A settings file with every kind of element the reader takes apart.
const char* const kSettingsFile =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<qvinfo numdays_warn_if_no_backup=\"3\" qvlogin=\"user@example.com\" online_hostname=\"HOST\"\n"
    " excludefiletypes=\".tmp, LOG,bak\" scratch_vol_guid=\"v123456789012345678901234567\"\n"
    " net_auto_throttle=\"false\" num_backup_threads=\"4\" smartwatchfilesets=\"docs\">\n"
    "<qvblocked_network blocked_network_mac_addr=\"00:11:22\" blocked_network_name=\"cafe\" />\n"
    "<qvvolume qvVolumeGuid=\"vAAAAAAAAAAAAAAAAAAAAAAAAAAA\" mountPointPath=\"E:\" />\n"
    "<qvvolume qvVolumeGuid=\"vBBBBBBBBBBBBBBBBBBBBBBBBBBB\" mountPointPath=\"c:\\data\\\" />\n"
    "<filesetdef filesetname=\"docs\" extensions=\"doc,pdf\" />\n"
    "<do_backup><qvdirfilter dir=\"C:\\Users\" whichfiles=\"smartwatchfilesets\" />"
    "<qvdirfilter dir=\"C:\\Temp\" whichfiles=\"none\" /></do_backup>\n"
    "</qvinfo>\n";

class QvTortureFiles : public QvTempDirTest {
protected:
    void SetUp() override {
        QvTempDirTest::SetUp();
        QvPlatformTest::SetFakeFileTime(134116128000000000ull);  // waits cost nothing
        path = temp.MakeFile("qvinfo.xml", kSettingsFile);
    }
    void TearDown() override {
        QvPlatformTest::FailAllocationNumber(0);
        QvInfoManagerTest::SetQvInfoXmlPath(nullptr);
        QvInfoManagerTest::UseRealHostName();
        QvPlatformTest::UseRealClock();
    }
    std::string path;
};

// A failed status query fails the read; never empty text taken for the file.
TEST_F(QvTortureFiles, WholeFileReadGivesTheBytesOrNothing) {
    std::string p = path;
    EXPECT_GT(Torture({"ReadFileToString", [p] {
                           return Operation([p] {
                               QvString text;
                               bool read = QvFile::ReadFileToString(p.c_str(), &text);
                               return Judge(read && HasText(text, kSettingsFile), !read && text.GetLength() == 0);
                           });
                       }}),
              0);
}

// The reader retries a failed read and skips what it cannot take; whatever fails, the
// record holds only values the reader can produce.
TEST_F(QvTortureFiles, SettingsReadKeepsTheRecordConsistent) {
    QvInfoManagerTest::SetQvInfoXmlPath(path.c_str());
    QvInfoManagerTest::SetFakeHostName(true, "torturehost");
    long long allocations = 0;
    Torture({"ReadControlPanelSettingsFromQvInfoXmlFile", [] {
                 return Operation([] {
                     QvInfoManager::ReadControlPanelSettingsFromQvInfoXmlFile();
                     const ControlPanelSettings& s = QvInfoManager::GetControlPanelSettings();
                     return Judge(s.numDaysWarnIfNoBackup == 3 && s.numBackupThreads == 4 &&
                                      s.blockedNetworkMacAddrs.GetCount() == 1 && s.volumes.GetCount() == 2 &&
                                      HasText(s.qvLogin, "user@example.com") && HasText(s.onlineHostname, "HOST"),
                                  s.numDaysWarnIfNoBackup >= 0 && s.numDaysWarnIfNoBackup <= 7 &&
                                      s.numBackupThreads >= 1 && s.numBackupThreads <= 200 &&
                                      s.blockedNetworkMacAddrs.GetCount() == s.blockedNetworkNames.GetCount() &&
                                      s.volumes.GetCount() <= 2 && s.excludedDirs.GetCount() <= 2);
                 });
             }},
            &allocations);
    EXPECT_GT(allocations, 10);
}

}  // namespace
