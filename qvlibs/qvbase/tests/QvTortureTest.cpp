// Allocation-failure torture: each operation runs once to count its allocations, then once per
// allocation with exactly that one failing, and once per allocation with it and every later one
// failing (memory that stays short). Each run must return, under a watchdog, with the full result
// or in the documented failure state; the sanitizer build's leak checker covers the leaks.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "QvTestHooks.h"
#include "QvTestInstallation.h"
#include "QvTestPlatform.h"
#include "qvbase/QvFile.h"
#include "qvbase/QvFileXml.h"
#include "qvbase/QvHashTable.h"
#include "qvbase/QvInfoManager.h"
#include "qvbase/QvString.h"
#include "qvbase/QvStringVector.h"
#include "qvbase/QvUiUtil.h"
#include "qvbase/QvUtf16String.h"

namespace {

enum class Outcome { Complete, DocumentedFailure, Broken };
// A case prepares its objects (no failure armed) and hands back the operation, which runs with
// the failure armed and judges its own result.
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
// A new string: none at all, or one with the text or without a buffer.
Outcome JudgeNew(QvString* made, const std::string& expected) {
    std::unique_ptr<QvString> s(made);
    return s ? Judge(HasText(*s, expected), IsNoBuffer(*s)) : Outcome::DocumentedFailure;
}
// All the expected items (complete), or some of them in their order, each whole or (where
// holesAllowed) without a buffer in its place (documented failure).
Outcome JudgeItems(const QvStringVector& items, const std::vector<std::string>& expected, bool holesAllowed) {
    bool complete = items.GetCount() == int32_t(expected.size());
    size_t next = 0;
    for (int32_t i = 0; i < items.GetCount(); ++i, ++next) {
        bool hole = holesAllowed && IsNoBuffer(*items.GetAt(i));
        complete &= !hole;
        while (!hole && next < expected.size() && !HasText(*items.GetAt(i), expected[next]))
            ++next;
        if (next >= expected.size())
            return Outcome::Broken;
    }
    return Judge(complete, true);
}

const std::string kLong(200, 'x');
const std::string kAccented = "\xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80 C:\\Donn\xC3\xA9" "es";
const std::string kXml =
    "<list><qvvolume qvVolumeGuid=\"v1\" mountPointPath=\"C:\\\" /><qvvolume>plain</qvvolume>"
    "<qvvolume name=\"a&amp;b&lt;c\">x</qvvolume></list>";

// An operation with nothing to prepare.
TortureCase Plain(const char* name, Operation operation) { return {name, [operation] { return operation; }}; }
// An operation on a string prepared from text.
TortureCase OnSource(const char* name, const std::string& text, std::function<Outcome(QvString*)> op) {
    return {name, [=] {
                auto s = std::make_shared<QvString>(text.c_str());
                return Operation([=] { return op(s.get()); });
            }};
}
// A string operation on a string made from start: the expected text, no buffer, or (when
// keepsOriginalOnFailure) the start text.
TortureCase OnString(const char* name, const char* start, std::function<void(QvString*)> op, std::string expected,
                     bool keepsOriginalOnFailure = false) {
    return OnSource(name, start, [=](QvString* s) {
        op(s);
        return Judge(HasText(*s, expected), IsNoBuffer(*s) || (keepsOriginalOnFailure && HasText(*s, start)));
    });
}
// A conversion of text to UTF-16 (or of its UTF-16 form back): the unfailed result, or empty.
TortureCase Converts(const char* name, const std::string& text, bool toUtf16) {
    return {name, [=] {
                auto utf16 = std::make_shared<QvUtf16String>();
                QvString utf8(text.c_str());
                QvUtf16String::ConvertUtf8QvStringToUtf16(&utf8, utf16.get(), nullptr);
                return Operation([=] {
                    QvString source(text.c_str()), back, error;
                    if (!toUtf16) {
                        bool result = QvUtf16String::ConvertUtf16QvStringToUtf8(utf16.get(), &back, &error);
                        return Judge(result && HasText(back, text), back.GetLength() == 0);
                    }
                    QvUtf16String wide;
                    bool result = QvUtf16String::ConvertUtf8QvStringToUtf16(&source, &wide, &error);
                    return Judge(result && std::u16string(wide.GetText(), wide.GetUnitCount()) ==
                                               std::u16string(utf16->GetText(), utf16->GetUnitCount()),
                                 wide.GetLength() == 0);
                });
            }};
}

std::vector<TortureCase> AllCases() {
    std::string longText;
    while (longText.size() < 400)
        longText += kAccented;
    return {
        Plain("QvString construction from text", [] { return JudgeNew(new QvString(kLong.c_str()), kLong); }),
        OnString("QvString::Append (stepped growth)", "0123456789", [](QvString* s) { s->Append(kLong.c_str()); },
                 "0123456789" + kLong),
        OnString("QvString::Set (exact growth)", "short", [](QvString* s) { s->Set(kLong.c_str()); }, kLong),
        // A failed temporary appends nothing; a failed growth empties the string.
        OnString("QvString::AppendFormat", "n=", [](QvString* s) { s->AppendFormat("%s|%d", kLong.c_str(), -42); },
                 "n=" + kLong + "|-42", true),
        OnSource("QvString::NewMid", kLong,
                 [](QvString* s) { return JudgeNew(s->NewMid(10, 100), kLong.substr(10, 100)); }),
        Converts("ConvertUtf8QvStringToUtf16, short text (stack area)", kAccented, true),
        Converts("ConvertUtf8QvStringToUtf16, long text (4 MB work block)", longText, true),
        Converts("ConvertUtf8QvStringToUtf16, invalid text (byte-wise fallback)", "A\xE9" "B" + kLong, true),
        Converts("ConvertUtf16QvStringToUtf8, short text (stack area)", kAccented, false),
        Converts("ConvertUtf16QvStringToUtf8, long text (4 MB work block)", longText, false),
        // A field whose copy failed is left out or has no buffer; a failed growth drops the
        // items gathered so far.
        OnSource("QvStringVector::SplitCommaList", " alpha, beta ,,gamma ,delta", [](QvString* source) {
            QvStringVector items;
            QvStringVector::SplitCommaList(source, &items);
            return JudgeItems(items, {"alpha", "beta", "", "gamma", "delta"}, true);
        }),
        // Without buckets every operation returns at once; a key without a node is dropped; a
        // name that could not be copied is no name.
        Plain("QvHashTable construction and insert", [] {
            QvHashTable table(50);
            table.SetName("excludefiletypes");
            int32_t present = 0;
            for (const char* key : {"tmp", "log", "bak", ""})
                table.Insert(key, int32_t(strlen(key)));
            for (const char* key : {"tmp", "log", "bak", ""})
                present += table.Contains(key, int32_t(strlen(key))) ? 1 : 0;
            bool named = table.GetName() && strcmp(table.GetName(), "excludefiletypes") == 0;
            return Judge(table.HasBuckets() && present == 4 && table.GetEntryCount() == 4 && named,
                         (!table.HasBuckets() && table.GetEntryCount() == 0) ||
                             (table.GetEntryCount() == present && (named || !table.GetName())));
        }),
        {"QvHashTable::Insert, heap fallback after the pool",
         [] {
             auto table = std::make_shared<QvHashTable>(10);
             for (int filled = 0;
                  table->IsAllInPool() && table->GetPoolUsed() + 64 <= table->GetPoolSize() && filled < 1000;) {
                 std::string key = "pooled" + std::to_string(filled++);
                 table->Insert(key.c_str(), int32_t(key.size()));
             }
             return Operation([table] {
                 int32_t before = table->GetEntryCount(), present = 0;
                 for (const char* key : {"heap-key-of-some-length", "another-heap-key"})
                     table->Insert(key, int32_t(strlen(key)));
                 for (const char* key : {"heap-key-of-some-length", "another-heap-key"})
                     present += table->Contains(key, int32_t(strlen(key))) ? 1 : 0;
                 bool consistent = table->GetEntryCount() == before + present;
                 table->Clear();  // frees the heap nodes one by one
                 return Judge(consistent && present == 2, consistent && table->GetEntryCount() == 0);
             });
         }},
        // Snippets whose copy failed are left out; the result says whether any is left.
        OnSource("GetAllXmlSnippetsWithTagNameInXml", kXml, [](QvString* buffer) {
            QvStringVector snippets;
            bool found = QvFile::GetAllXmlSnippetsWithTagNameInXml(buffer, "qvvolume", &snippets);
            Outcome items = JudgeItems(snippets,
                                       {"<qvvolume qvVolumeGuid=\"v1\" mountPointPath=\"C:\\\" />",
                                        "<qvvolume name=\"a&amp;b&lt;c\">x</qvvolume>", "<qvvolume>plain</qvvolume>"},
                                       false);
            return found == (snippets.GetCount() > 0) ? items : Outcome::Broken;
        }),
        Plain("GetUniqueStrAttrFromXmlSnippet with references", [] {
            QvString value;
            bool found = QvFile::GetUniqueStrAttrFromXmlSnippet(kXml.c_str(), "name", &value);
            return Judge(found && HasText(value, "a&b<c"), value.GetLength() == 0);
        }),
    };
}

// Ends the process when the operation has not returned within 10 s: an operation that loops
// while memory stays short must be seen, not waited for.
Outcome RunWatched(const Operation& operation, const std::string& what) {
    std::promise<void> returned;
    std::thread watchdog([&what, done = returned.get_future()] {
        if (done.wait_for(std::chrono::seconds(10)) == std::future_status::timeout) {
            std::fprintf(stderr, "[ watchdog ] %s: no return after 10 s\n", what.c_str());
            std::fflush(stderr);
            std::_Exit(3);
        }
    });
    Outcome outcome = operation();
    returned.set_value();
    watchdog.join();
    return outcome;
}

// Runs the count, then every failure point, alone and then lasting (*lasting tells the case
// which); returns the number of allocations the operation makes.
long long Torture(const TortureCase& torture, bool* lasting = nullptr) {
    SCOPED_TRACE(torture.name);
    long long allocations = 0;
    for (bool last : {false, true}) {
        if (lasting)
            *lasting = last;
        QvPlatformTest::FailAllocationNumber(0);
        Operation counted = torture.prepare();
        long long before = QvPlatformTest::GetAllocationCount(), documented = 0;
        EXPECT_EQ(Outcome::Complete, counted()) << "fails without a failing allocation";
        allocations = QvPlatformTest::GetAllocationCount() - before;
        counted = nullptr;
        EXPECT_GT(allocations, 0) << "allocates nothing";
        for (long long n = 1; n <= allocations; ++n) {
            Operation operation = torture.prepare();
            std::string what = std::string(torture.name) + ", allocation " + std::to_string(n) +
                               (last ? " and all later ones failing" : " failing");
            last ? QvPlatformTest::FailAllocationsFrom(n) : QvPlatformTest::FailAllocationNumber(n);
            Outcome outcome = RunWatched(operation, what);
            QvPlatformTest::FailAllocationNumber(0);
            operation = nullptr;  // destroys what the case built, after the failure
            EXPECT_NE(Outcome::Broken, outcome) << what << " (of " << allocations << ")";
            documented += outcome == Outcome::DocumentedFailure ? 1 : 0;
        }
        std::printf("[ torture  ] %-58s %-7s allocations %4lld (%lld documented failures)\n", torture.name,
                    last ? "lasting" : "one", allocations, documented);
        std::fflush(stdout);
    }
    return allocations;
}

// Some operations allocate only objects whose later assignments allocate afresh (a short
// conversion works in a stack area), so not every failure shows.
TEST(QvTorture, EveryFailingAllocationAloneOrLastingLeavesTheDocumentedState) {
    for (const TortureCase& torture : AllCases())
        Torture(torture);
}

// A settings file with every kind of element the reader takes apart.
const char* const kSettingsFile =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<qvinfo numdays_warn_if_no_backup=\"3\" qvlogin=\"user@example.com\" online_hostname=\"HOST\"\n"
    " excludefiletypes=\".tmp, LOG,bak\" scratch_vol_guid=\"v123456789012345678901234567\"\n"
    " net_auto_throttle=\"false\" num_backup_threads=\"4\" smartwatchfilesets=\"docs\">\n"
    "<qvblocked_network blocked_network_mac_addr=\"00:11:22\" blocked_network_name=\"cafe\" />\n"
    "<qvblocked_network blocked_network_mac_addr=\"33:44:55\" blocked_network_name=\"home\" />\n"
    "<qvvolume qvVolumeGuid=\"vAAAAAAAAAAAAAAAAAAAAAAAAAAA\" mountPointPath=\"E:\" />\n"
    "<qvvolume qvVolumeGuid=\"vBBBBBBBBBBBBBBBBBBBBBBBBBBB\" mountPointPath=\"c:\\data\\\" />\n"
    "<qvvolume qvVolumeGuid=\"vAAAAAAAAAAAAAAAAAAAAAAAAAAA\" mountPointPath=\"F:\" />\n"  // removed as a duplicate
    "<filesetdef filesetname=\"docs\" extensions=\"doc,pdf\" />\n"
    "<do_backup><qvdirfilter dir=\"C:\\Users\" whichfiles=\"smartwatchfilesets\" />"
    "<qvdirfilter dir=\"C:\\Temp\" whichfiles=\"none\" /></do_backup>\n"
    "</qvinfo>\n";

template <typename List, typename Match>
bool Any(const List& list, Match match) {
    for (int32_t i = 0; i < list.GetCount(); i++)
        if (match(*list.GetAt(i)))
            return true;
    return false;
}

// The readers of the client's files on a whole installation (waits counted, never slept).
class QvTortureReaders : public QvTestInstallation {
protected:
    void SetUp() override {
        QvTestInstallation::SetUp();
        ASSERT_TRUE(QvTestFs::WriteFile(settingsPath, kSettingsFile));
        temp.MakeFile("install\\qvbui_interface.xml",
                      "<qvbui_interface><qvbui_text lang=\"en_US\" TrayMenuItem_Help=\"Help\" /></qvbui_interface>");
        temp.MakeFile("data\\qvreports\\qvdc_synchostinfo.xml",
                      "<qvdc_synchostinfo hide_icon=\"true\" enable_check_for_updates=\"false\" />");
        ASSERT_TRUE(QvTestFs::WriteFile(SendLogsPath(), SendLogsRecord(2, 7, 10)));  // sending, 7 of 10 done
    }
};

// Whatever fails, the record holds only values the reader can produce, the two blocked-network
// lists stay aligned, and (with memory back for the log) every volume, blocked network and
// excluded folder left out is named in an error line; a failed status query reports the file
// missing.
TEST_F(QvTortureReaders, SettingsReadKeepsTheRecordConsistentAndNamesWhatItLeftOut) {
    bool lasting = false;
    Operation read = [&] {
        TakeLog();
        QvInfoManager::ReadControlPanelSettingsFromQvInfoXmlFile();
        const ControlPanelSettings& s = QvInfoManager::GetControlPanelSettings();
        bool complete = s.numDaysWarnIfNoBackup == 3 && s.numBackupThreads == 4 &&
                        s.blockedNetworkMacAddrs.GetCount() == 2 && s.volumes.GetCount() == 2 &&
                        s.excludedDirs.GetCount() == 1 && HasText(s.qvLogin, "user@example.com") &&
                        HasText(s.onlineHostname, "HOST");
        bool consistent = s.numDaysWarnIfNoBackup >= 0 && s.numDaysWarnIfNoBackup <= 7 && s.numBackupThreads >= 1 &&
                          s.numBackupThreads <= 200 &&
                          s.blockedNetworkMacAddrs.GetCount() == s.blockedNetworkNames.GetCount() &&
                          s.blockedNetworkMacAddrs.GetCount() <= 2 && s.volumes.GetCount() <= 2 &&
                          s.excludedDirs.GetCount() <= 1 &&
                          !Any(s.volumes, [](const QvVolumeInfo& v) { return strlen(v.volumeGuid) != 28; });
        if (lasting || complete)
            return Judge(complete, consistent);
        std::string log;
        for (const std::string& line : TakeLog())
            log += line + "\n";
        auto named = [&](bool kept, std::vector<std::string> texts) {  // kept, or named in the log
            texts.insert(texts.end(), {"could not read qvinfo.xml", "qvinfo.xml file does not exist"});
            return kept || std::any_of(texts.begin(), texts.end(), [&](auto& t) { return log.find(t) != log.npos; });
        };
        bool allNamed = named(s.excludedDirs.GetCount() > 0,
                              {"C:\\Temp", "c:\\temp", "watched folders not read", "excluded folders not read",
                               "<do_backup>", "<qvdirfilter>", "NO top level dirs"});
        for (const char* mac : {"00:11:22", "33:44:55"})
            allNamed &= named(Any(s.blockedNetworkMacAddrs, [&](const QvString& m) { return HasText(m, mac); }),
                              {mac, "blocked networks not read", "<qvblocked_network>"});
        for (const char* guid : {"vAAAAAAAAAAAAAAAAAAAAAAAAAAA", "vBBBBBBBBBBBBBBBBBBBBBBBBBBB"})
            allNamed &= named(Any(s.volumes, [&](const QvVolumeInfo& v) { return strcmp(v.volumeGuid, guid) == 0; }),
                              {guid, "qvvolume elements not read", "<qvvolume>"});
        return allNamed ? Judge(complete, consistent) : Outcome::Broken;
    };
    EXPECT_GT(Torture(Plain("ReadControlPanelSettingsFromQvInfoXmlFile", read), &lasting), 10);
}

// A whole file is its bytes or nothing (a failed status query fails the read, never empty text
// taken for the file). The watched folders' parse keeps every record it stores exact (name and
// keys; a file set is read whole or left out, so a folder naming it has both keys or none) and
// returns true. The interface text is the file's, the documented "ERR_" answer, or no buffer;
// the flags and the send-logs record are the file's values or the default for a file not read
// (icon shown, updates enabled, no job, outputs untouched).
TEST_F(QvTortureReaders, EachReaderGivesTheWholeFileOrItsDefault) {
    const TortureCase cases[] = {
        Plain("ReadFileToString", [this] {
            QvString text;
            bool read = QvFile::ReadFileToString(settingsPath.c_str(), &text);
            return Judge(read && HasText(text, kSettingsFile), !read && text.GetLength() == 0);
        }),
        Plain("ParseQvInfoForFilesToWatch", [] {
            std::vector<QvHashTable*> records(QV_INFO_MAX_NUM_DIR_FILTERS, nullptr);
            QvHashTable fileTypes(QvInfoManager::kFileTypeTableBuckets);
            int32_t count = -1, exact = 0, allKeys = 0, types = 0;
            bool result = QvInfoManager::ParseQvInfoForFilesToWatch(records.data(), &count, &fileTypes);
            for (int32_t i = 0; i < count; i++) {
                const QvHashTable& r = *records[i];
                int32_t keys = r.GetEntryCount();
                std::string name = r.GetName() ? r.GetName() : "(none)";
                bool users = name == " c:\\users" &&
                             (keys == 0 || (keys == 2 && r.Contains("doc", 3) && r.Contains("pdf", 3)));
                bool temp = name == "xc:\\temp" && keys == 1 && r.Contains("none", 4);
                exact += users || temp ? 1 : 0;
                allKeys += keys;
            }
            for (const char* type : {"tmp", "log", "bak"})
                types += fileTypes.Contains(type, 3) ? 1 : 0;
            bool sorted = count < 2 || strlen(records[0]->GetName()) >= strlen(records[1]->GetName());
            QvInfoManager::ReleaseWatchRecords(records.data());
            return result && sorted && exact == count
                       ? Judge(count == 2 && allKeys == 3 && types == 3 && fileTypes.GetEntryCount() == 3,
                               count <= 2 && fileTypes.GetEntryCount() == types)
                       : Outcome::Broken;
        }),
        {"InitQvUiUtil and GetUtf8InterfaceText",
         [] {
             QvUiUtilTest::ResetModule();
             return Operation([] {
                 QvString out("sentinel");
                 GetUtf8InterfaceText("TrayMenuItem_Help", &out);
                 return Judge(HasText(out, "Help"), HasText(out, "ERR_TrayMenuItem_Help") || IsNoBuffer(out));
             });
         }},
        {"IsHideIconSet and IsCheckForUpdatesEnabled",
         [] {
             QvUiUtilTest::ResetModule();
             InitQvUiUtil();
             return Operation([] {
                 bool hidden = IsHideIconSet();
                 bool updates = IsCheckForUpdatesEnabled();
                 return Judge(hidden && !updates, !hidden || updates);
             });
         }},
        Plain("GetSendLogsStatus", [] {
            std::string status = SendLogsStatus(0xbd);  // an output left untouched says 189
            return Judge(status == "2 73% 7/10 error 0",
                         status == std::to_string(kSendLogsRunStatusNone) + " 189% 189/189 error 189");
        }),
    };
    for (const TortureCase& torture : cases)
        Torture(torture);
}

}  // namespace
