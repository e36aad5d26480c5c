// Tests of the textual XML access: which elements count as snippets and in what order,
// where an element ends, which attribute occurrence wins, and how references decode.

#include "qvbase/QvFileXml.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "QvTempDir.h"
#include "platform/QvPlatformMemory.h"
#include "qvbase/QvString.h"
#include "qvbase/QvStringVector.h"

namespace {

std::vector<std::string> SnippetsOf(const QvStringVector& snippets) {
    std::vector<std::string> texts;
    for (int32_t i = 0; i < snippets.GetCount(); ++i) {
        const QvString* item = snippets.GetAt(i);
        texts.emplace_back(item->GetText(), static_cast<size_t>(item->GetLength()));
    }
    return texts;
}

std::string TextOf(const QvString& s) {
    return std::string(s.GetText(), static_cast<size_t>(s.GetLength()));
}

struct SnippetCase {
    const char* buffer;
    const char* tag;
    std::vector<std::string> expected;
};

}  // namespace

TEST(QvFileXml, CollectsSnippetsByTextualRules) {
    const SnippetCase cases[] = {
        // Elements with attributes come first, whatever their position.
        {"<qvvolume>x</qvvolume><qvvolume a=\"1\" />", "qvvolume",
         {"<qvvolume a=\"1\" />", "<qvvolume>x</qvvolume>"}},
        {"<lang code=\"x\">y</lang>", "lang", {"<lang code=\"x\">y</lang>"}},
        {"<lang code=\"x\">y</lang>", "la", {}},
        // Line break, tab or "/>" right after the name: found by neither pass.
        {"<tag\n a=\"1\">x</tag>", "tag", {}},
        {"<tag\ta=\"1\"/>", "tag", {}},
        {"<tag/>", "tag", {}},
        // An empty element ends at its "/>", not at a later closing tag.
        {"<tag a=\"1\"/><tag b=\"2\">x</tag>", "tag", {"<tag a=\"1\"/>", "<tag b=\"2\">x</tag>"}},
        // A child's "/>" does not end the parent.
        {"<tag a=\"1\"><child/></tag>", "tag", {"<tag a=\"1\"><child/></tag>"}},
        // A "/>" before the next "<" does, even inside an attribute value.
        {"<tag a=\"x/>\">t</tag>", "tag", {"<tag a=\"x/>"}},
        // Nested elements of the same name run to the first closing tag, once.
        {"<f a=\"1\"><f b=\"2\">x</f></f>", "f", {"<f a=\"1\"><f b=\"2\">x</f>"}},
        {"<f><f>x</f></f>", "f", {"<f><f>x</f>"}},
        {"<t a=\"1\">x</t><t b=\"2\">y</t><t>z</t>", "t",
         {"<t a=\"1\">x</t>", "<t b=\"2\">y</t>", "<t>z</t>"}},
        // Without a closing tag an element ends at the first "/>" after it.
        {"<t>abc/>", "t", {"<t>abc/>"}},
        // Unterminated elements are skipped.
        {"<t b=\"1\"/><t c=\"2\">open", "t", {"<t b=\"1\"/>"}},
        {"<t>a</t><t>b", "t", {"<t>a</t>"}},
        {"<t a=\"1\">open", "t", {}},
    };
    for (const SnippetCase& c : cases) {
        QvString buffer(c.buffer);
        QvStringVector snippets;
        const bool found = QvFile::GetAllXmlSnippetsWithTagNameInXml(&buffer, c.tag, &snippets);
        EXPECT_EQ(SnippetsOf(snippets), c.expected) << "buffer '" << c.buffer << "' tag " << c.tag;
        EXPECT_EQ(found, !c.expected.empty()) << "buffer '" << c.buffer << "' tag " << c.tag;
    }
}

TEST(QvFileXml, SnippetSearchClearsVectorAndRejectsMissingArguments) {
    QvString buffer("<t a=\"1\"/>");
    QvStringVector snippets;
    snippets.Add(new QvString("stale"));
    EXPECT_FALSE(QvFile::GetAllXmlSnippetsWithTagNameInXml(&buffer, "", &snippets));
    EXPECT_EQ(snippets.GetCount(), 0);
    snippets.Add(new QvString("stale"));
    EXPECT_FALSE(QvFile::GetAllXmlSnippetsWithTagNameInXml(nullptr, "t", &snippets));
    EXPECT_EQ(snippets.GetCount(), 0);
    EXPECT_FALSE(QvFile::GetAllXmlSnippetsWithTagNameInXml(&buffer, nullptr, &snippets));
    EXPECT_FALSE(QvFile::GetAllXmlSnippetsWithTagNameInXml(&buffer, "t", nullptr));
}

TEST(QvFileXml, SnippetThatCannotBeCopiedIsDropped) {
    QvString buffer("<t a=\"1\"/><t>x</t>");
    QvStringVector snippets;
    QvPlatformTest::FailAllAllocations(true);
    const bool found = QvFile::GetAllXmlSnippetsWithTagNameInXml(&buffer, "t", &snippets);
    QvPlatformTest::FailAllAllocations(false);
    EXPECT_FALSE(found);
    EXPECT_EQ(snippets.GetCount(), 0);
}

// Many unterminated openings: each must be settled without rescanning the rest of the
// buffer (a rescan per opening would not finish in any reasonable time).
TEST(QvFileXml, ManyUnterminatedOpeningsAreSettledInOneSweep) {
    std::string text;
    for (int i = 0; i < 200000; ++i)
        text += "<t <t><<<<";
    QvString buffer(text.c_str());
    QvStringVector snippets;
    EXPECT_FALSE(QvFile::GetAllXmlSnippetsWithTagNameInXml(&buffer, "t", &snippets));

    // One "/>" at the end: the first opening of each pass runs to it.
    buffer.Append("/>");
    ASSERT_TRUE(QvFile::GetAllXmlSnippetsWithTagNameInXml(&buffer, "t", &snippets));
    ASSERT_EQ(snippets.GetCount(), 2);
    EXPECT_EQ(snippets.GetAt(0)->GetLength(), buffer.GetLength());
    EXPECT_EQ(snippets.GetAt(1)->GetLength(), buffer.GetLength() - 3);
}

TEST(QvFileXml, FindsElementEnd) {
    struct Case {
        const char* buffer;
        int32_t start;
        int32_t expected;
    } const cases[] = {
        {"<t a=\"1\"><c/></t>", 3, 17},
        {"<t a=\"1\"/><t b=\"2\">x</t>", 3, 10},
        {"<t a=\"1\">x<u>", 3, -1},
        {"<t a=\"1\"/>", 10, -1},
        {"<t a=\"1\"/>", -1, -1},
    };
    for (const Case& c : cases) {
        QvString buffer(c.buffer);
        EXPECT_EQ(QvFile::FindXmlElementEnd(&buffer, c.start, "t"), c.expected)
            << "buffer '" << c.buffer << "' start " << c.start;
    }
    EXPECT_EQ(QvFile::FindXmlElementEnd(nullptr, 0, "t"), -1);
}

TEST(QvFileXml, ReadsFirstAttributeOccurrence) {
    struct Case {
        const char* text;
        const char* name;
        bool found;
        const char* value;
    } const cases[] = {
        {"<f name=\"a\" filesetname=\"b\"/>", "name", true, "a"},
        {"<f name=\"a\" filesetname=\"b\"/>", "filesetname", true, "b"},
        {"<f filesetname=\"b\"/>", "name", false, ""},
        {"<e x=\"\"/>", "x", true, ""},
        {"<a v=\"1\"/><b v=\"2\"/>", "v", true, "1"},
        // A blank-preceded occurrence anywhere beats an earlier line feed, which beats a tab.
        {"<e\nname=\"lf\" name=\"blank\"/>", "name", true, "blank"},
        {"<e\tname=\"tab\"\nname=\"lf\"/>", "name", true, "lf"},
        {"<e\tname=\"tab\"/>", "name", true, "tab"},
        // Needs a separator, double quotes and no blanks around "=".
        {"name=\"x\"", "name", false, ""},
        {"<e name='x'/>", "name", false, ""},
        {"<e name = \"x\"/>", "name", false, ""},
        // Missing closing quote, or nothing after the opening one.
        {"<e name=\"abc", "name", false, ""},
        {"<e name=\"", "name", false, ""},
        {" name=\"name=\"name=\"x\"", "name", true, "name="},
        {"<e v=\"a&amp;b&lt;c\"/>", "v", true, "a&b<c"},
    };
    for (const Case& c : cases) {
        QvString value("sentinel");
        EXPECT_EQ(QvFile::GetUniqueStrAttrFromXmlSnippet(c.text, c.name, &value), c.found)
            << "text '" << c.text << "' name " << c.name;
        EXPECT_EQ(TextOf(value), c.value) << "text '" << c.text << "' name " << c.name;
    }
}

TEST(QvFileXml, AttributeLookupEmptiesOutStringBeforeCheckingArguments) {
    QvString value("sentinel");
    EXPECT_FALSE(QvFile::GetUniqueStrAttrFromXmlSnippet(nullptr, "v", &value));
    EXPECT_EQ(TextOf(value), "");
    value.Set("sentinel");
    EXPECT_FALSE(QvFile::GetUniqueStrAttrFromXmlSnippet(" v=\"1\"", nullptr, &value));
    EXPECT_EQ(TextOf(value), "");
    EXPECT_FALSE(QvFile::GetUniqueStrAttrFromXmlSnippet(" v=\"1\"", "v", nullptr));
}

TEST(QvFileXml, DecodesEachReferenceOnceLeftToRight) {
    const struct {
        const char* source;
        const char* expected;
    } cases[] = {
        {"a&amp;b&lt;c", "a&b<c"},
        {"&amp;amp;", "&amp;"},
        {"&amp;lt;", "&lt;"},
        {"a & b &quot;q&quot;", "a & b \"q\""},
        {"&#x5c;", "&#x5c;"},
        {"&#x5C;", "\\"},
        {"&#x2F;&#x2f;", "/&#x2f;"},
        {"&#39;&apos;&gt;", "''>"},
        {"&#x27;&nbsp;", "&#x27;&nbsp;"},
        {"&&lt;", "&<"},
        {"", ""},
    };
    for (const auto& c : cases) {
        QvString source(c.source);
        QvString out("sentinel");
        EXPECT_TRUE(QvFile::DecodeXmlEntities(&source, &out));
        EXPECT_EQ(TextOf(out), c.expected) << "source '" << c.source << "'";
        EXPECT_EQ(TextOf(source), c.source);
    }
    QvString any("x");
    EXPECT_FALSE(QvFile::DecodeXmlEntities(nullptr, &any));
    EXPECT_FALSE(QvFile::DecodeXmlEntities(&any, nullptr));
}

// Nothing after a NUL byte is matched; decoding keeps those bytes as they are.
TEST(QvFileXml, NulByteEndsTheSearchedText) {
    const char xml[] = "<t a=\"1\"/>\0<t b=\"2\"/>";
    QvString buffer;
    buffer.Set(xml, static_cast<int32_t>(sizeof xml - 1));
    QvStringVector snippets;
    EXPECT_TRUE(QvFile::GetAllXmlSnippetsWithTagNameInXml(&buffer, "t", &snippets));
    EXPECT_EQ(SnippetsOf(snippets), std::vector<std::string>{"<t a=\"1\"/>"});

    const char encoded[] = "&lt;\0&lt;";
    QvString source;
    source.Set(encoded, static_cast<int32_t>(sizeof encoded - 1));
    ASSERT_TRUE(QvFile::DecodeXmlEntities(&source, &source));
    EXPECT_EQ(TextOf(source), std::string("<\0&lt;", 6));
}

class QvFileXmlFiles : public QvTempDirTest {};

TEST_F(QvFileXmlFiles, ReadsAttributeFromFile) {
    const std::string path = temp.MakeFile("qvinfo.xml", "<s>\n<a\nv=\"lf\" w=\"&#x5C;x\"/></s>");
    QvString value("sentinel");
    EXPECT_TRUE(QvFile::GetUniqueStrAttrFromXmlFile(path.c_str(), "w", &value));
    EXPECT_EQ(TextOf(value), "\\x");
    EXPECT_TRUE(QvFile::GetUniqueStrAttrFromXmlFile(path.c_str(), "v", &value));
    EXPECT_EQ(TextOf(value), "lf");
    value.Set("sentinel");
    EXPECT_FALSE(QvFile::GetUniqueStrAttrFromXmlFile(path.c_str(), "absent", &value));
    EXPECT_EQ(TextOf(value), "");
}

TEST_F(QvFileXmlFiles, MissingFileLeavesAttributeUntouched) {
    QvString value("sentinel");
    EXPECT_FALSE(
        QvFile::GetUniqueStrAttrFromXmlFile(temp.Join("missing.xml").c_str(), "v", &value));
    EXPECT_EQ(TextOf(value), "sentinel");
    EXPECT_FALSE(QvFile::GetUniqueStrAttrFromXmlFile(nullptr, "v", &value));
    EXPECT_EQ(TextOf(value), "sentinel");
}

TEST_F(QvFileXmlFiles, CollectsSnippetsFromFile) {
    const std::string path =
        temp.MakeFile("qvbui_interface.xml", "<r><t>two</t><t k=\"1\">one</t></r>");
    QvStringVector snippets;
    snippets.Add(new QvString("stale"));
    EXPECT_TRUE(QvFile::GetAllXmlSnippetsWithTagNameInXmlFile(path.c_str(), "t", &snippets));
    EXPECT_EQ(SnippetsOf(snippets), (std::vector<std::string>{"<t k=\"1\">one</t>", "<t>two</t>"}));

    EXPECT_FALSE(QvFile::GetAllXmlSnippetsWithTagNameInXmlFile(temp.Join("missing.xml").c_str(),
                                                               "t", &snippets));
    EXPECT_EQ(snippets.GetCount(), 0);
    EXPECT_FALSE(QvFile::GetAllXmlSnippetsWithTagNameInXmlFile(path.c_str(), "t", nullptr));
}
