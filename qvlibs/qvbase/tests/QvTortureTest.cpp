// Allocation-failure torture: every allocating operation of the table is run once to count
// its allocations, then once more for each of them with exactly that allocation failing.
// Each run must end either with the full result or in the documented failure state (the
// string without a buffer, a false result, a dropped key or item), never in a crash; the
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

// What one run of an operation ended in.
enum class Outcome { Complete, DocumentedFailure, Broken };

const char* OutcomeName(Outcome outcome) {
    return outcome == Outcome::Complete ? "complete" : outcome == Outcome::DocumentedFailure ? "documented failure" : "broken";
}

// A case prepares its objects (allocations not counted, none failing), and hands back the
// operation, which runs with the failure armed and judges its own result.
typedef std::function<Outcome()> Operation;
struct TortureCase {
    const char* name;
    std::function<Operation()> prepare;
};

// The string state that every failed allocation inside a string must leave.
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

const std::string kLong(200, 'x');
const std::string kAccented = "\xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80 C:\\Donn\xC3\xA9" "es";
const std::string kXml =
    "<list><qvvolume qvVolumeGuid=\"v1\" mountPointPath=\"C:\\\" /><qvvolume>plain</qvvolume>"
    "<qvvolume name=\"a&amp;b&lt;c\">x</qvvolume></list>";
const std::vector<std::string> kXmlSnippets = {"<qvvolume qvVolumeGuid=\"v1\" mountPointPath=\"C:\\\" />",
                                               "<qvvolume name=\"a&amp;b&lt;c\">x</qvvolume>",
                                               "<qvvolume>plain</qvvolume>"};

// True when the items are the expected ones in order with some of them left out.
bool IsSubsequence(const QvStringVector& items, const std::vector<std::string>& expected) {
    size_t next = 0;
    for (int32_t i = 0; i < items.GetCount(); ++i) {
        while (next < expected.size() && !HasText(*items.GetAt(i), expected[next]))
            ++next;
        if (next == expected.size())
            return false;
        ++next;
    }
    return true;
}

std::vector<TortureCase> StringCases() {
    return {
        {"QvString construction from text",
         [] {
             return [] {
                 std::unique_ptr<QvString> s(new QvString(kLong.c_str()));
                 if (!s)
                     return Outcome::DocumentedFailure;  // the object itself could not be had
                 return Judge(HasText(*s, kLong), IsNoBuffer(*s));
             };
         }},
        {"QvString::Append (stepped growth)",
         [] {
             auto s = std::make_shared<QvString>("0123456789");
             return [s] {
                 s->Append(kLong.c_str());
                 return Judge(HasText(*s, "0123456789" + kLong), IsNoBuffer(*s));
             };
         }},
        {"QvString::Set (exact growth)",
         [] {
             auto s = std::make_shared<QvString>("short");
             return [s] {
                 s->Set(kLong.c_str());
                 return Judge(HasText(*s, kLong), IsNoBuffer(*s));
             };
         }},
        {"QvString::AppendFormat",
         [] {
             auto s = std::make_shared<QvString>("n=");
             return [s] {
                 s->AppendFormat("%s|%d", kLong.c_str(), -42);
                 // A failed temporary appends nothing; a failed growth empties the string.
                 return Judge(HasText(*s, "n=" + kLong + "|-42"), HasText(*s, "n=") || IsNoBuffer(*s));
             };
         }},
        {"QvString::Insert",
         [] {
             auto s = std::make_shared<QvString>("abcdef");
             return [s] {
                 s->Insert(3, kLong.c_str());
                 return Judge(HasText(*s, "abc" + kLong + "def"), IsNoBuffer(*s));
             };
         }},
        {"QvString::NewMid",
         [] {
             auto s = std::make_shared<QvString>(kLong.c_str());
             return [s] {
                 std::unique_ptr<QvString> mid(s->NewMid(10, 100));
                 if (!mid)
                     return Outcome::DocumentedFailure;
                 return Judge(HasText(*mid, kLong.substr(10, 100)), IsNoBuffer(*mid));
             };
         }},
    };
}

std::vector<TortureCase> ConversionCases() {
    auto toUtf16 = [](const std::string& text) {
        return [text] {
            auto source = std::make_shared<QvString>(text.c_str());
            // The expected units, from a run without failures.
            auto expected = std::make_shared<std::u16string>();
            QvUtf16String reference;
            QvUtf16String::ConvertUtf8QvStringToUtf16(source.get(), &reference, nullptr);
            expected->assign(reference.GetText(), reference.GetUnitCount());
            return Operation([source, expected] {
                QvUtf16String wide;
                QvString error;
                bool result = QvUtf16String::ConvertUtf8QvStringToUtf16(source.get(), &wide, &error);
                bool complete = result && std::u16string(wide.GetText(), wide.GetUnitCount()) == *expected;
                return Judge(complete, wide.GetLength() == 0);
            });
        };
    };
    auto toUtf8 = [](const std::string& text) {
        return [text] {
            auto wide = std::make_shared<QvUtf16String>();
            QvString source(text.c_str());
            QvUtf16String::ConvertUtf8QvStringToUtf16(&source, wide.get(), nullptr);
            return Operation([wide, text] {
                QvString utf8;
                QvString error;
                bool result = QvUtf16String::ConvertUtf16QvStringToUtf8(wide.get(), &utf8, &error);
                return Judge(result && HasText(utf8, text), utf8.GetLength() == 0);
            });
        };
    };
    std::string longText;
    while (longText.size() < 400)
        longText += kAccented;
    return {
        {"ConvertUtf8QvStringToUtf16, short text (stack area)", toUtf16(kAccented)},
        {"ConvertUtf8QvStringToUtf16, long text (4 MB work block)", toUtf16(longText)},
        {"ConvertUtf8QvStringToUtf16, invalid text (byte-wise fallback)", toUtf16("A\xE9" "B" + kLong)},
        {"ConvertUtf16QvStringToUtf8, short text (stack area)", toUtf8(kAccented)},
        {"ConvertUtf16QvStringToUtf8, long text (4 MB work block)", toUtf8(longText)},
    };
}

std::vector<TortureCase> ContainerCases() {
    return {
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
                     delete item;  // refused: the item stays the caller's
                     // The failed reallocation leaves the vector without slots.
                     return Judge(false, vector->GetCount() == 0 && vector->GetCapacity() == 0);
                 }
                 return Judge(vector->GetCount() == 51 && HasText(*vector->GetAt(50), "last"),
                              vector->GetCount() == 51 && IsNoBuffer(*vector->GetAt(50)));
             };
         }},
        {"QvStringVector::SplitCommaList",
         [] {
             auto source = std::make_shared<QvString>(" alpha, beta ,,gamma ,delta");
             return [source] {
                 QvStringVector items;
                 QvStringVector::SplitCommaList(source.get(), &items);
                 const std::vector<std::string> expected = {"alpha", "beta", "", "gamma", "delta"};
                 bool complete = items.GetCount() == 5;
                 for (int32_t i = 0; complete && i < items.GetCount(); ++i)
                     complete = HasText(*items.GetAt(i), expected[i]);
                 // A field whose copy failed is left out, or stays as an item without a
                 // buffer; a failed growth of the vector drops the items gathered so far.
                 bool failure = items.GetCount() <= 5;
                 for (int32_t i = 0; failure && i < items.GetCount(); ++i) {
                     const QvString* item = items.GetAt(i);
                     bool known = IsNoBuffer(*item);
                     for (const std::string& field : expected)
                         known = known || HasText(*item, field);
                     failure = known;
                 }
                 return Judge(complete, failure);
             };
         }},
        {"QvHashTable construction and insert",
         [] {
             return [] {
                 QvHashTable table(50);
                 table.SetName("excludefiletypes");
                 const char* keys[] = {"tmp", "log", "bak", ""};
                 for (const char* key : keys)
                     table.Insert(key, int32_t(strlen(key)));
                 int32_t present = 0;
                 for (const char* key : keys)
                     present += table.Contains(key, int32_t(strlen(key))) ? 1 : 0;
                 bool named = table.GetName() && strcmp(table.GetName(), "excludefiletypes") == 0;
                 bool complete = table.HasBuckets() && present == 4 && table.GetEntryCount() == 4 && named;
                 // Without buckets every operation returns at once; a key whose node could
                 // not be had is dropped; a name that could not be copied is no name.
                 bool failure = (!table.HasBuckets() && table.GetEntryCount() == 0) ||
                                (table.GetEntryCount() == present && (named || !table.GetName()));
                 return Judge(complete, failure);
             };
         }},
        {"QvHashTable::Insert, heap fallback after the pool",
         [] {
             auto table = std::make_shared<QvHashTable>(10);
             int filled = 0;
             while (table->IsAllInPool() && filled < 1000) {
                 std::string key = "pooled" + std::to_string(filled++);
                 if (table->GetPoolUsed() + 64 > table->GetPoolSize())
                     break;
                 table->Insert(key.c_str(), int32_t(key.size()));
             }
             return [table] {
                 int32_t before = table->GetEntryCount();
                 std::string key = "heap-key-of-some-length";
                 std::string second = "another-heap-key";
                 table->Insert(key.c_str(), int32_t(key.size()));
                 table->Insert(second.c_str(), int32_t(second.size()));
                 bool first = table->Contains(key.c_str(), int32_t(key.size()));
                 bool other = table->Contains(second.c_str(), int32_t(second.size()));
                 bool complete = first && other && table->GetEntryCount() == before + 2;
                 bool dropped = table->GetEntryCount() == before + (first ? 1 : 0) + (other ? 1 : 0);
                 table->Clear();  // frees the heap nodes one by one
                 return Judge(complete, dropped && table->GetEntryCount() == 0);
             };
         }},
    };
}

std::vector<TortureCase> XmlCases() {
    return {
        {"GetAllXmlSnippetsWithTagNameInXml",
         [] {
             auto buffer = std::make_shared<QvString>(kXml.c_str());
             return [buffer] {
                 QvStringVector snippets;
                 bool found = QvFile::GetAllXmlSnippetsWithTagNameInXml(buffer.get(), "qvvolume", &snippets);
                 bool complete = found && snippets.GetCount() == 3 && HasText(*snippets.GetAt(0), kXmlSnippets[0]) &&
                                 HasText(*snippets.GetAt(1), kXmlSnippets[1]) &&
                                 HasText(*snippets.GetAt(2), kXmlSnippets[2]);
                 // Snippets whose copy failed are left out; the result says whether any is left.
                 bool failure = found == (snippets.GetCount() > 0) && IsSubsequence(snippets, kXmlSnippets);
                 return Judge(complete, failure);
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

// The case table, the file-reading cases included (they need a folder of their own).
std::vector<TortureCase> AllCases() {
    std::vector<TortureCase> cases;
    for (auto part : {StringCases(), ConversionCases(), ContainerCases(), XmlCases()})
        cases.insert(cases.end(), part.begin(), part.end());
    return cases;
}

struct Totals {
    long long allocations = 0;
    long long documentedFailures = 0;
    long long completes = 0;
    long long broken = 0;
};

// Runs one case: the count, then every failure point. Returns the totals for the report.
Totals Torture(const TortureCase& torture) {
    Totals totals;
    QvPlatformTest::FailAllocationNumber(0);
    Operation counted = torture.prepare();
    long long before = QvPlatformTest::GetAllocationCount();
    Outcome clean = counted();
    totals.allocations = QvPlatformTest::GetAllocationCount() - before;
    counted = nullptr;
    EXPECT_EQ(Outcome::Complete, clean) << torture.name << ": without failures got " << OutcomeName(clean);
    EXPECT_GT(totals.allocations, 0) << torture.name << ": allocates nothing";

    for (long long n = 1; n <= totals.allocations; ++n) {
        Operation operation = torture.prepare();
        QvPlatformTest::FailAllocationNumber(n);
        Outcome outcome = operation();
        QvPlatformTest::FailAllocationNumber(0);
        operation = nullptr;  // destroys what the case built, after the failure
        EXPECT_NE(Outcome::Broken, outcome) << torture.name << ": allocation " << n << " of "
                                            << totals.allocations << " failing left a broken state";
        (outcome == Outcome::Complete ? totals.completes
         : outcome == Outcome::Broken ? totals.broken
                                      : totals.documentedFailures)++;
    }
    std::printf("[ torture  ] %-62s allocations %4lld, failure points passed %4lld (%lld documented failures)\n",
                torture.name, totals.allocations, totals.completes + totals.documentedFailures,
                totals.documentedFailures);
    std::fflush(stdout);
    return totals;
}

class QvTorture : public ::testing::TestWithParam<size_t> {
protected:
    void TearDown() override { QvPlatformTest::FailAllocationNumber(0); }
};

// Some operations allocate only objects of their own whose later assignments allocate
// afresh (a short conversion works in a stack area), so not every failure shows.
TEST_P(QvTorture, EveryFailingAllocationLeavesTheDocumentedState) {
    std::vector<TortureCase> cases = AllCases();
    ASSERT_LT(GetParam(), cases.size());
    Torture(cases[GetParam()]);
}

std::string CaseName(const ::testing::TestParamInfo<size_t>& info) {
    std::string name = AllCases()[info.param].name;
    std::string out;
    for (char c : name)
        out += (isalnum(static_cast<unsigned char>(c)) ? c : '_');
    return std::to_string(info.param) + "_" + out.substr(0, 60);
}

INSTANTIATE_TEST_SUITE_P(Operations, QvTorture, ::testing::Range<size_t>(0, AllCases().size()), CaseName);

// ---- File reads: the whole-file read and the settings read --------------------------

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
        QvPlatformTest::UseRealClock();
    }
    std::string path;
};

TEST_F(QvTortureFiles, WholeFileReadGivesTheBytesOrNothing) {
    std::string expected = kSettingsFile;
    Totals totals = Torture({"ReadFileToString", [this, expected] {
                                 return Operation([this, expected] {
                                     QvString text;
                                     bool read = QvFile::ReadFileToString(path.c_str(), &text);
                                     // A failed status query fails the read; never empty text.
                                     return Judge(read && HasText(text, expected), !read && text.GetLength() == 0);
                                 });
                             }});
    EXPECT_GT(totals.documentedFailures, 0);
}

// The reader retries a failed read and skips what it cannot take; whatever fails, the
// record holds only values the reader can produce.
TEST_F(QvTortureFiles, SettingsReadKeepsTheRecordConsistent) {
    QvInfoManagerTest::SetQvInfoXmlPath(path.c_str());
    QvInfoManagerTest::SetFakeHostName(true, "torturehost");
    Totals totals = Torture({"ReadControlPanelSettingsFromQvInfoXmlFile", [] {
                                 return Operation([] {
                                     QvInfoManager::ReadControlPanelSettingsFromQvInfoXmlFile();
                                     const ControlPanelSettings& s = QvInfoManager::GetControlPanelSettings();
                                     bool consistent =
                                         s.numDaysWarnIfNoBackup >= 0 && s.numDaysWarnIfNoBackup <= 7 &&
                                         s.numBackupThreads >= 1 && s.numBackupThreads <= 200 &&
                                         s.blockedNetworkMacAddrs.GetCount() == s.blockedNetworkNames.GetCount() &&
                                         s.volumes.GetCount() <= 2 && s.excludedDirs.GetCount() <= 2;
                                     bool complete = s.numDaysWarnIfNoBackup == 3 && s.numBackupThreads == 4 &&
                                                     s.blockedNetworkMacAddrs.GetCount() == 1 &&
                                                     s.volumes.GetCount() == 2 &&
                                                     HasText(s.qvLogin, "user@example.com") &&
                                                     HasText(s.onlineHostname, "HOST");
                                     return Judge(complete, consistent);
                                 });
                             }});
    EXPECT_GT(totals.allocations, 10);
    QvInfoManagerTest::UseRealHostName();
}

}  // namespace
