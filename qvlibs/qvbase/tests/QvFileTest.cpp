// The file and directory operations, each in a fresh temporary folder, and the textual XML
// access: which elements count as snippets and in what order, which attribute wins.
#include "qvbase/QvFile.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "QvTempDir.h"
#include "QvTestCommon.h"
#include "platform/QvPlatformClock.h"
#include "files/QvPlatformFiles.h"
#include "platform/QvPlatformMemory.h"
#include "qvbase/QvFileInfo.h"
#include "qvbase/QvFileXml.h"
#include "qvbase/QvString.h"
#include "qvbase/QvStringVector.h"
#include "QvTestPlatform.h"
#include "QvTestHooks.h"

namespace {
using QvFileTest = QvTempDirTest;

// "length:bytes" as ReadWholeFile gives them (checking the terminator); "length:<null>" without a buffer.
std::string ReadWhole(const std::string& path) {
    int32_t n = -1;
    char* bytes = QvFile::ReadWholeFile(path.c_str(), &n);
    std::string out = std::to_string(n) + ":" + (bytes ? std::string(bytes, size_t(n)) : "<null>");
    EXPECT_TRUE(!bytes || bytes[n] == '\0') << path;
    QvPlatform::Free(bytes);
    return out;
}
// The file's content after an operation that succeeded, or "refused".
std::string After(bool ok, const std::string& path) {
    std::string out;
    return !ok ? "refused" : QvTestFs::ReadFile(path, &out) ? out : "<unreadable>";
}
// "+" or "-" for the result, then the text (or the items joined by "|") left in the out parameter.
std::string Out(bool ok, const QvString& s) { return (ok ? "+" : "-") + TextOf(s); }
std::string Out(bool ok, const QvStringVector& items) {
    std::string out = ok ? "+" : "-";
    for (int32_t i = 0; i < items.GetCount(); ++i) out += (i ? "|" : "") + TextOf(*items.GetAt(i));
    return out;
}
// Size, directory and reparse flags of a status query, or "missing".
std::string Status(const std::string& path) {
    QvString text(path.c_str());
    QvFileInfo info;
    if (!QvFile::GetFileInfo(&text, &info)) return "missing";
    return std::to_string(info.size) + (info.isDirectory ? " dir" : "") + (info.isReparsePoint ? " reparse" : "");
}

TEST_F(QvFileTest, StatusQueriesAndPathRulesForTrailingSeparatorsAndLastComponents) {
    std::string file = temp.MakeFile("f.txt", "12345"), dir = temp.MakeDir("d");
    temp.MakeFile("d\\inner", "xx");
    EXPECT_EQ("5|0 dir|0 dir", Status(file) + "|" + Status(dir) + "|" + Status(dir + "\\"));
    EXPECT_EQ(5, QvFile::GetFileSize(file.c_str())) << "GetFileSize of a file of 5 bytes";
    EXPECT_EQ(0, QvFile::GetFileSize(dir.c_str())) << "GetFileSize of a folder";
    EXPECT_EQ(0, QvFile::GetFileSize(nullptr)) << "GetFileSize(null)";
    EXPECT_TRUE(QvFile::FileExists(dir.c_str())) << "FileExists of a folder";
    int64_t now = int64_t(QvPlatform::GetSystemFileTime() / 10000) - 11644473600000LL;
    QvString filePath(file.c_str()), missing("qv-no-such-file-here"), empty("");
    QvFileInfo info;
    ASSERT_TRUE(QvFile::GetFileInfo(&filePath, &info));
    EXPECT_NEAR(double(now), double(info.modifyTime), 86400000.0);
    EXPECT_NEAR(double(now), double(info.createTime), 86400000.0);
    info.isDirectory = true;
    EXPECT_FALSE(QvFile::GetFileInfo(&missing, &info));
    EXPECT_TRUE(info.size == 0 && !info.isDirectory && info.modifyTime == 0) << "reset before the query";
    for (auto& c : {std::vector<const char*>{"C:\\data\\", "C:\\data"}, {"C:\\", "C:\\"}, {"/", "/"}, {"C:/", "C:"},
                    {"C:\\a\\\\", "C:\\a\\"}, {"\\", ""}}) {
        QvString path(c[0]);
        QvFileInfo info;
        QvFile::GetFileInfo(&path, &info);
        EXPECT_STREQ(c[1], info.path->GetText()) << c[0];
    }
    EXPECT_FALSE(QvFile::GetFileInfo(&empty, &info) || QvFile::GetFileInfo(nullptr, &info) ||
                 QvFile::GetFileInfo(&missing, nullptr) || QvFile::FileExists(static_cast<const char*>(nullptr)));
    const char* strip[][2] = {  // result null: fails and leaves the buffer unchanged
        {"C:\\a\\b", "C:\\a"}, {"C:\\a", "C:\\"}, {"C:\\a\\", "C:\\"}, {"C:\\", nullptr}, {"/a", "/"}, {"/", nullptr},
        {"name", nullptr}, {"", nullptr}, {"//", nullptr}, {"\\\\srv\\share", "\\\\srv"}, {"a\\", nullptr}};
    for (auto& c : strip) {
        char buffer[64];
        strcpy(buffer, c[0]);
        EXPECT_EQ(c[1] != nullptr, QvFile::StripLastPathComponent(buffer)) << c[0];
        EXPECT_STREQ(c[1] ? c[1] : c[0], buffer) << c[0];
    }
    EXPECT_FALSE(QvFile::StripLastPathComponent(nullptr));
}

TEST_F(QvFileTest, WriteTruncatesCreatesAndAppendsNeverMakesDirectoriesAndRemoveClearsReadOnly) {
    std::string file = temp.MakeFile("f.txt", "a longer original text"), dir = temp.MakeDir("dir");
    std::string created = temp.Join("new.txt"), binary = temp.Join("bin"), orphan = temp.Join("nodir\\f.txt");
    QvString more(" and more"), empty("");
    EXPECT_EQ("short", After(QvFile::WriteWholeFile(file.c_str(), "short", 5), file));
    EXPECT_EQ("short and more", After(QvFile::AppendToFile(file.c_str(), &more), file));
    EXPECT_EQ(" and more", After(QvFile::AppendToFile(created.c_str(), &more), created));
    EXPECT_EQ(std::string("a\0b", 3), After(QvFile::WriteWholeFile(binary.c_str(), "a\0b", 3), binary));
    EXPECT_EQ("", After(QvFile::WriteWholeFile(binary.c_str(), "a", 0), binary));
    for (const std::string& path : {dir, orphan})
        EXPECT_FALSE(QvFile::WriteWholeFile(path.c_str(), "x", 1) || QvFile::AppendToFile(path.c_str(), &more)) << path;
    EXPECT_TRUE(QvTestFs::IsDirectory(dir) && !QvTestFs::Exists(temp.Join("nodir")));
    EXPECT_TRUE(QvFile::AppendToFile(orphan.c_str(), &empty)) << "nothing to append";
    EXPECT_FALSE(QvFile::WriteWholeFile(file.c_str(), nullptr, 0) || QvFile::WriteWholeFile("", "x", 1) ||
                 QvFile::AppendToFile(file.c_str(), nullptr));
    std::string readOnly = temp.MakeFile("ro.txt", "x");
    ASSERT_TRUE(QvTestFs::SetReadOnly(readOnly));
    EXPECT_TRUE(QvFile::RemoveFile(readOnly.c_str()) && !QvTestFs::Exists(readOnly));
    EXPECT_TRUE(QvFile::RemoveFile(temp.Join("missing").c_str()));
    EXPECT_FALSE(QvFile::RemoveFile(nullptr));
    // Deleting a directory is denied, and clearing its attributes does not change that.
    EXPECT_FALSE(QvFile::RemoveFile(dir.c_str()));
    EXPECT_TRUE(QvTestFs::IsDirectory(dir));
    EXPECT_TRUE(!QvPlatform::NeedsLongPathPrefix(250) && QvPlatform::NeedsLongPathPrefix(251));
    std::string longDir = temp.Join(std::string(120, 'a') + "\\" + std::string(120, 'b'));
    std::string longFile = longDir + "\\" + std::string(40, 'c') + ".txt";
    QvString tail(" path");
    ASSERT_TRUE(QvFile::CreateDirectoryTree(longDir.c_str(), true) &&
                QvFile::WriteWholeFile(longFile.c_str(), "long", 4) && QvFile::AppendToFile(longFile.c_str(), &tail));
    EXPECT_EQ("9:long path", ReadWhole(longFile));
    EXPECT_TRUE(QvFile::RemoveFile(longFile.c_str()) && !QvFile::FileExists(longFile.c_str()));
}

TEST_F(QvFileTest, CreatedFilesAndSharedDirectoriesGetTheSharedAccess) {
    std::string file = temp.Join("new.txt"), dir = temp.Join("shared\\sub");
    ASSERT_TRUE(QvFile::WriteWholeFile(file.c_str(), "x", 1) && QvFile::CreateDirectoryTree(dir.c_str(), true));
    if (QvTestFs::IsWine())
        GTEST_SKIP() << "wine: an explicit access list is accepted but read back altered ("
                     << QvTestFs::DescribeAccess(file) << ")";
    for (const std::string& path : {file, dir, temp.Join("shared")}) {
        std::string expected = QvTestFs::IsWindows() ? "S-1-5-11:0x1f01ff;S-1-5-18:0x1f01ff"
                                                     : path == file ? "mode:0666" : "mode:0777";
        EXPECT_EQ(expected, QvTestFs::DescribeAccess(path).substr(0, expected.size())) << path;
    }
}

// The folder is asked for once; when the system names none, "C:\Temp\" stands in.
TEST_F(QvFileTest, TempDirIsAskedForOnceAndFallsBackToCTemp) {
    ::QvFileTest::ResetTempDirCache();
    QvString tempDir, again;
    ASSERT_TRUE(QvFile::GetTempDir(&tempDir) && TextOf(tempDir).back() == '\\');
    QvPlatformTest::FailTempPathQuery(true);
    EXPECT_EQ("+" + TextOf(tempDir), Out(QvFile::GetTempDir(&again), again)) << "cached";
    ::QvFileTest::ResetTempDirCache();
    EXPECT_EQ("+C:\\Temp\\", Out(QvFile::GetTempDir(&tempDir), tempDir));
    QvPlatformTest::FailTempPathQuery(false);
    ::QvFileTest::ResetTempDirCache();
}

TEST_F(QvFileTest, ReadWholeFileReturnsTerminatedBytesOrNull) {
    std::string bin = temp.MakeFile("bin", std::string("a\0b", 3)), big = temp.Join("big");
    ASSERT_TRUE(QvTestFs::MakeSizedFile(big, QvFile::kMaxReadWholeFileSize + 1));
    EXPECT_EQ(std::string("3:a\0b", 5) + "|0:|0:|0:<null>|0:<null>",
              ReadWhole(bin) + "|" + ReadWhole(temp.MakeFile("empty")) + "|" + ReadWhole(temp.MakeDir("dir")) + "|" +
                  ReadWhole(temp.Join("missing")) + "|" + ReadWhole(big));
    int32_t length = -1;
    EXPECT_TRUE(!QvFile::ReadWholeFile(nullptr, &length) && !length && !QvFile::ReadWholeFile(bin.c_str(), nullptr));
    if (!QvTestFs::IsWindows()) {  // a /proc file reports size 0 and is read all the same
        std::string status = ReadWhole("/proc/self/status");
        EXPECT_TRUE(std::stoi(status) > 0 && status.find(":Name:") == status.find(':')) << status;
    }
    QvString text("stale");
    EXPECT_EQ(std::string("+a\0b", 4), Out(QvFile::ReadFileToString(bin.c_str(), &text), text));
    EXPECT_EQ("-", Out(QvFile::ReadFileToString(temp.Join("missing").c_str(), &text), text));
}

TEST(QvFileXml, CollectsSnippetsByTextualRules) {
    const struct { const char* buffer; const char* tag; const char* expected; } cases[] = {
        // Elements with attributes come first, whatever their position.
        {"<qvvolume>x</qvvolume><qvvolume a=\"1\" />", "qvvolume", "+<qvvolume a=\"1\" />|<qvvolume>x</qvvolume>"},
        // A longer name, a line break or "/>" right after the name: found by neither pass.
        {"<lang code=\"x\">y</lang>", "la", "-"}, {"<tag\n a=\"1\">x</tag>", "tag", "-"}, {"<tag/>", "tag", "-"},
        // An empty element ends at its "/>", a child's "/>" does not end the parent, and a
        // "/>" before the next "<" does, even inside an attribute value.
        {"<tag a=\"1\"/><tag b=\"2\">x</tag>", "tag", "+<tag a=\"1\"/>|<tag b=\"2\">x</tag>"},
        {"<tag a=\"1\"><child/></tag>", "tag", "+<tag a=\"1\"><child/></tag>"},
        {"<tag a=\"x/>\">t</tag>", "tag", "+<tag a=\"x/>"},
        // Nested elements of the same name run to the first closing tag, once.
        {"<f a=\"1\"><f b=\"2\">x</f></f>", "f", "+<f a=\"1\"><f b=\"2\">x</f>"},
        {"<f><f>x</f></f>", "f", "+<f><f>x</f>"},
        {"<t a=\"1\">x</t><t b=\"2\">y</t><t>z</t>", "t", "+<t a=\"1\">x</t>|<t b=\"2\">y</t>|<t>z</t>"},
        // Without a closing tag an element ends at the next "/>"; else it is skipped.
        {"<t>abc/>", "t", "+<t>abc/>"}, {"<t b=\"1\"/><t c=\"2\">open", "t", "+<t b=\"1\"/>"},
        {"<t>a</t><t>b", "t", "+<t>a</t>"}, {"<t a=\"1\">open", "t", "-"}, {"", "t", "-"},
        {"<t a=\"1\"/>", "", "-"}, {nullptr, "t", "-"},  // no tag name, no buffer
    };
    for (const auto& c : cases) {
        QvString buffer(c.buffer);
        QvStringVector snippets;
        snippets.Add(new QvString("stale"));  // emptied in any case
        EXPECT_EQ(c.expected, Out(QvFile::GetAllXmlSnippetsWithTagNameInXml(c.buffer ? &buffer : nullptr, c.tag,
                                                                            &snippets), snippets)) << c.tag;
    }
    QvString buffer("<t a=\"1\"/>");
    QvStringVector snippets;
    EXPECT_FALSE(QvFile::GetAllXmlSnippetsWithTagNameInXml(&buffer, nullptr, &snippets)) << "a null tag name";
    EXPECT_FALSE(QvFile::GetAllXmlSnippetsWithTagNameInXml(&buffer, "t", nullptr)) << "a null vector";
    struct End { int32_t start, end; };
    for (const End& c : {End{3, 10}, {10, -1}, {-1, -1}})
        EXPECT_EQ(c.end, QvFile::FindXmlElementEnd(&buffer, c.start, "t")) << "FindXmlElementEnd from " << c.start;
    EXPECT_EQ(-1, QvFile::FindXmlElementEnd(nullptr, 0, "t")) << "FindXmlElementEnd in a null buffer";
    // Each unterminated opening is settled without rescanning the rest (else this would not finish).
    std::string text;
    for (int i = 0; i < 200000; ++i) text += "<t <t><<<<";
    buffer.Set(text.c_str());
    EXPECT_EQ("-", Out(QvFile::GetAllXmlSnippetsWithTagNameInXml(&buffer, "t", &snippets), snippets));
    buffer.Append("/>");  // now the first opening of each pass runs to it
    EXPECT_TRUE("+" + text + "/>|" + text.substr(3) + "/>" ==
                Out(QvFile::GetAllXmlSnippetsWithTagNameInXml(&buffer, "t", &snippets), snippets));
}

// Walking again into the same vector gives what a new vector gets, snippet for snippet
// (text, length, capacity), whatever the vector held; the old snippets' blocks are reused
// where a new snippet fits one, and the rest are destroyed (ASan and valgrind see leaks).
TEST(QvFileXml, WalkingAgainIntoTheSameVectorGivesWhatANewVectorGets) {
    const std::string a = "<t a=\"1\"/><t b=\"22\"/><t c=\"333\"/>", longer = "<t a=\"" + std::string(200, 'x') + "\"/>";
    auto rendering = [](const QvStringVector& v) {
        std::string out;
        for (int32_t i = 0; i < v.GetCount(); ++i)
            out += TextOf(*v.GetAt(i)) + "/" + std::to_string(v.GetAt(i)->GetLength()) + "/" +
                   std::to_string(v.GetAt(i)->GetCapacity()) + ";";
        return out;
    };
    QvStringVector kept;
    kept.Add(new QvString("not a snippet"));
    std::vector<QvString*> before;
    std::string previous;
    // Same text; shorter; one snippet much longer, then one more; fewer; none; more again.
    for (const std::string& text : std::vector<std::string>{a, a, "<t a=\"1\"/><t b=\"2\"/>",
                                                            longer + "<t d=\"4\"/><t e=\"5\"/>", a, "<t>x</t>", "<u/>",
                                                            a + a}) {
        QvString buffer(text.c_str());
        QvStringVector fresh;
        const bool found = QvFile::GetAllXmlSnippetsWithTagNameInXml(&buffer, "t", &fresh);
        EXPECT_EQ(found, QvFile::GetAllXmlSnippetsWithTagNameInXml(&buffer, "t", &kept));
        EXPECT_EQ(rendering(fresh), rendering(kept)) << text;
        if (text == previous) {
            EXPECT_TRUE(kept.GetAt(0) == before[0] && kept.GetAt(2) == before[2]) << "the same text reuses every block";
        }
        before.clear();
        for (int32_t i = 0; i < kept.GetCount(); ++i) before.push_back(kept.GetAt(i));
        previous = text;
    }
    // A buffer that is one of the vector's own items is walked before the items go.
    QvString outer("<o a=\"1\"><t x=\"1\"/><t>y</t></o>");
    ASSERT_TRUE(QvFile::GetAllXmlSnippetsWithTagNameInXml(&outer, "o", &kept));
    EXPECT_EQ("+<t x=\"1\"/>|<t>y</t>", Out(QvFile::GetAllXmlSnippetsWithTagNameInXml(kept.GetAt(0), "t", &kept), kept));
}

TEST_F(QvFileTest, ReadsTheFirstAttributeOccurrenceFromTextOrFileAndDecodesEachReferenceOnce) {
    const struct { const char* text; const char* name; const char* expected; } cases[] = {
        {"<f name=\"a\" filesetname=\"b\"/>", "name", "+a"}, {"<f filesetname=\"b\"/>", "name", "-"},
        {"<e x=\"\"/>", "x", "+"}, {"<a v=\"1\"/><b v=\"2\"/>", "v", "+1"},
        // A blank-preceded occurrence anywhere beats an earlier line feed, which beats a tab.
        {"<e\nname=\"lf\" name=\"blank\"/>", "name", "+blank"}, {"<e\tname=\"tab\"\nname=\"lf\"/>", "name", "+lf"},
        {"<e\tname=\"tab\"/>", "name", "+tab"},
        // Needs a separator, double quotes, no blanks around "=" and a closing quote.
        {"name=\"x\"", "name", "-"}, {"<e name='x'/>", "name", "-"}, {"<e name = \"x\"/>", "name", "-"},
        {"<e name=\"abc", "name", "-"}, {"<e v=\"a&amp;b&lt;c\"/>", "v", "+a&b<c"}, {nullptr, "v", "-"},
        {" v=\"1\"", nullptr, "-"},
    };
    for (const auto& c : cases) {
        QvString value("sentinel");
        EXPECT_EQ(c.expected, Out(QvFile::GetUniqueStrAttrFromXmlSnippet(c.text, c.name, &value), value))
            << (c.text ? c.text : "null") << " " << c.name;
    }
    EXPECT_FALSE(QvFile::GetUniqueStrAttrFromXmlSnippet(" v=\"1\"", "v", nullptr));
    const char* references[][2] = {
        {"&amp;lt;", "&lt;"}, {"a & b &quot;q&quot;", "a & b \"q\""}, {"&#x5C;", "\\"}, {"&#x2F;&#x2f;", "/&#x2f;"},
        {"&#39;&apos;&gt;", "''>"}, {"&#x27;&nbsp;", "&#x27;&nbsp;"}, {"&&lt;", "&<"}, {"", ""},
    };
    for (auto& c : references) {
        QvString source(c[0]), out("sentinel");
        EXPECT_EQ("+" + std::string(c[1]), Out(QvFile::DecodeXmlEntities(&source, &out), out));
        EXPECT_EQ(c[0], TextOf(source));
    }
    QvString any("x");
    EXPECT_FALSE(QvFile::DecodeXmlEntities(nullptr, &any) || QvFile::DecodeXmlEntities(&any, nullptr));
    std::string path = temp.MakeFile("qvinfo.xml", "<r><t>two</t>\n<t\nw=\"&#x5C;x\">one</t></r>");
    std::string missing = temp.Join("missing.xml");
    QvString value("sentinel");
    QvStringVector snippets;
    snippets.Add(new QvString("stale"));
    EXPECT_EQ("+\\x", Out(QvFile::GetUniqueStrAttrFromXmlFile(path.c_str(), "w", &value), value));
    EXPECT_EQ("-", Out(QvFile::GetUniqueStrAttrFromXmlFile(path.c_str(), "absent", &value), value));
    value.Set("sentinel");  // an unreadable file leaves the out string alone
    EXPECT_EQ("-sentinel", Out(QvFile::GetUniqueStrAttrFromXmlFile(missing.c_str(), "v", &value), value));
    EXPECT_EQ("-sentinel", Out(QvFile::GetUniqueStrAttrFromXmlFile(nullptr, "v", &value), value));
    EXPECT_EQ("+<t>two</t>", Out(QvFile::GetAllXmlSnippetsWithTagNameInXmlFile(path.c_str(), "t", &snippets),
                                 snippets));
    EXPECT_EQ("-", Out(QvFile::GetAllXmlSnippetsWithTagNameInXmlFile(missing.c_str(), "t", &snippets), snippets));
    EXPECT_FALSE(QvFile::GetAllXmlSnippetsWithTagNameInXmlFile(path.c_str(), "t", nullptr));
}

}  // namespace
