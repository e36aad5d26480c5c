// Tests of the textual XML access: which elements count as snippets and in what order,
// where an element ends, which attribute occurrence wins, and how references decode.
#include "qvbase/QvFileXml.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "QvTempDir.h"
#include "qvbase/QvString.h"
#include "qvbase/QvStringVector.h"

namespace {

std::string TextOf(const QvString& s) { return std::string(s.GetText(), size_t(s.GetLength())); }

std::vector<std::string> TextsOf(const QvStringVector& snippets) {
    std::vector<std::string> texts;
    for (int32_t i = 0; i < snippets.GetCount(); ++i)
        texts.push_back(TextOf(*snippets.GetAt(i)));
    return texts;
}

using QvFileXmlFiles = QvTempDirTest;

}  // namespace

TEST(QvFileXml, CollectsSnippetsByTextualRules) {
    const struct {
        const char* buffer;
        const char* tag;
        std::vector<std::string> expected;
    } cases[] = {
        // Elements with attributes come first, whatever their position.
        {"<qvvolume>x</qvvolume><qvvolume a=\"1\" />", "qvvolume",
         {"<qvvolume a=\"1\" />", "<qvvolume>x</qvvolume>"}},
        {"<lang code=\"x\">y</lang>", "lang", {"<lang code=\"x\">y</lang>"}},
        {"<lang code=\"x\">y</lang>", "la", {}},
        // Line break, tab or "/>" right after the name: found by neither pass.
        {"<tag\n a=\"1\">x</tag>", "tag", {}},
        {"<tag\ta=\"1\"/>", "tag", {}},
        {"<tag/>", "tag", {}},
        // An empty element ends at its "/>", a child's "/>" does not end the parent, and a
        // "/>" before the next "<" does, even inside an attribute value.
        {"<tag a=\"1\"/><tag b=\"2\">x</tag>", "tag", {"<tag a=\"1\"/>", "<tag b=\"2\">x</tag>"}},
        {"<tag a=\"1\"><child/></tag>", "tag", {"<tag a=\"1\"><child/></tag>"}},
        {"<tag a=\"x/>\">t</tag>", "tag", {"<tag a=\"x/>"}},
        // Nested elements of the same name run to the first closing tag, once.
        {"<f a=\"1\"><f b=\"2\">x</f></f>", "f", {"<f a=\"1\"><f b=\"2\">x</f>"}},
        {"<f><f>x</f></f>", "f", {"<f><f>x</f>"}},
        {"<t a=\"1\">x</t><t b=\"2\">y</t><t>z</t>", "t", {"<t a=\"1\">x</t>", "<t b=\"2\">y</t>", "<t>z</t>"}},
        // Without a closing tag an element ends at the next "/>"; else it is skipped.
        {"<t>abc/>", "t", {"<t>abc/>"}},
        {"<t b=\"1\"/><t c=\"2\">open", "t", {"<t b=\"1\"/>"}},
        {"<t>a</t><t>b", "t", {"<t>a</t>"}},
        {"<t a=\"1\">open", "t", {}},
        {"", "t", {}},
    };
    for (const auto& c : cases) {
        QvString buffer(c.buffer);
        QvStringVector snippets;
        snippets.Add(new QvString("stale"));
        EXPECT_EQ(!c.expected.empty(), QvFile::GetAllXmlSnippetsWithTagNameInXml(&buffer, c.tag, &snippets));
        EXPECT_EQ(c.expected, TextsOf(snippets)) << "buffer '" << c.buffer << "' tag " << c.tag;
    }
    QvString buffer("<t a=\"1\"/>");
    QvStringVector snippets;
    snippets.Add(new QvString("stale"));
    EXPECT_FALSE(QvFile::GetAllXmlSnippetsWithTagNameInXml(&buffer, "", &snippets));
    EXPECT_EQ(0, snippets.GetCount());
    snippets.Add(new QvString("stale"));
    EXPECT_FALSE(QvFile::GetAllXmlSnippetsWithTagNameInXml(nullptr, "t", &snippets));
    EXPECT_EQ(0, snippets.GetCount());
    EXPECT_FALSE(QvFile::GetAllXmlSnippetsWithTagNameInXml(&buffer, nullptr, &snippets));
    EXPECT_FALSE(QvFile::GetAllXmlSnippetsWithTagNameInXml(&buffer, "t", nullptr));
}

// Each unterminated opening must be settled without rescanning the rest of the buffer
// (a rescan per opening would not finish in any reasonable time).
TEST(QvFileXml, ManyUnterminatedOpeningsAreSettledInOneSweep) {
    std::string text;
    for (int i = 0; i < 200000; ++i)
        text += "<t <t><<<<";
    QvString buffer(text.c_str());
    QvStringVector snippets;
    EXPECT_FALSE(QvFile::GetAllXmlSnippetsWithTagNameInXml(&buffer, "t", &snippets));
    buffer.Append("/>");  // now the first opening of each pass runs to it
    ASSERT_TRUE(QvFile::GetAllXmlSnippetsWithTagNameInXml(&buffer, "t", &snippets));
    ASSERT_EQ(2, snippets.GetCount());
    EXPECT_EQ(buffer.GetLength(), snippets.GetAt(0)->GetLength());
    EXPECT_EQ(buffer.GetLength() - 3, snippets.GetAt(1)->GetLength());
}

TEST(QvFileXml, ElementEndRejectsStartsOutsideTheBuffer) {
    QvString buffer("<t a=\"1\"/>");
    EXPECT_EQ(10, QvFile::FindXmlElementEnd(&buffer, 3, "t"));
    EXPECT_EQ(-1, QvFile::FindXmlElementEnd(&buffer, 10, "t"));
    EXPECT_EQ(-1, QvFile::FindXmlElementEnd(&buffer, -1, "t"));
    EXPECT_EQ(-1, QvFile::FindXmlElementEnd(nullptr, 0, "t"));
}

TEST(QvFileXml, ReadsFirstAttributeOccurrence) {
    const struct {
        const char* text;
        const char* name;
        const char* value;  // null: not found
    } cases[] = {
        {"<f name=\"a\" filesetname=\"b\"/>", "name", "a"},
        {"<f name=\"a\" filesetname=\"b\"/>", "filesetname", "b"},
        {"<f filesetname=\"b\"/>", "name", nullptr},
        {"<e x=\"\"/>", "x", ""},
        {"<a v=\"1\"/><b v=\"2\"/>", "v", "1"},
        // A blank-preceded occurrence anywhere beats an earlier line feed, which beats a tab.
        {"<e\nname=\"lf\" name=\"blank\"/>", "name", "blank"},
        {"<e\tname=\"tab\"\nname=\"lf\"/>", "name", "lf"},
        {"<e\tname=\"tab\"/>", "name", "tab"},
        // Needs a separator, double quotes, no blanks around "=" and a closing quote.
        {"name=\"x\"", "name", nullptr},
        {"<e name='x'/>", "name", nullptr},
        {"<e name = \"x\"/>", "name", nullptr},
        {"<e name=\"abc", "name", nullptr},
        {"<e name=\"", "name", nullptr},
        {"<e v=\"a&amp;b&lt;c\"/>", "v", "a&b<c"},
        {nullptr, "v", nullptr},
        {" v=\"1\"", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        QvString value("sentinel");
        EXPECT_EQ(c.value != nullptr, QvFile::GetUniqueStrAttrFromXmlSnippet(c.text, c.name, &value));
        EXPECT_EQ(c.value ? c.value : "", TextOf(value)) << (c.text ? c.text : "null") << " " << c.name;
    }
    EXPECT_FALSE(QvFile::GetUniqueStrAttrFromXmlSnippet(" v=\"1\"", "v", nullptr));
}

TEST(QvFileXml, DecodesEachReferenceOnceLeftToRight) {
    const char* cases[][2] = {
        {"a&amp;b&lt;c", "a&b<c"},   {"&amp;amp;", "&amp;"}, {"&amp;lt;", "&lt;"},
        {"a & b &quot;q&quot;", "a & b \"q\""}, {"&#x5c;", "&#x5c;"}, {"&#x5C;", "\\"},
        {"&#x2F;&#x2f;", "/&#x2f;"}, {"&#39;&apos;&gt;", "''>"}, {"&#x27;&nbsp;", "&#x27;&nbsp;"},
        {"&&lt;", "&<"},             {"", ""},
    };
    for (auto& c : cases) {
        QvString source(c[0]), out("sentinel");
        EXPECT_TRUE(QvFile::DecodeXmlEntities(&source, &out));
        EXPECT_EQ(c[1], TextOf(out)) << "source '" << c[0] << "'";
        EXPECT_EQ(c[0], TextOf(source));
    }
    QvString any("x");
    EXPECT_FALSE(QvFile::DecodeXmlEntities(nullptr, &any));
    EXPECT_FALSE(QvFile::DecodeXmlEntities(&any, nullptr));
}

TEST_F(QvFileXmlFiles, ReadsAttributesAndSnippetsFromFiles) {
    std::string path = temp.MakeFile("qvinfo.xml", "<r><t>two</t>\n<t\nw=\"&#x5C;x\">one</t></r>");
    std::string missing = temp.Join("missing.xml");
    QvString value("sentinel");
    EXPECT_TRUE(QvFile::GetUniqueStrAttrFromXmlFile(path.c_str(), "w", &value));
    EXPECT_EQ("\\x", TextOf(value));
    EXPECT_FALSE(QvFile::GetUniqueStrAttrFromXmlFile(path.c_str(), "absent", &value));
    EXPECT_EQ("", TextOf(value));
    value.Set("sentinel");  // an unreadable file leaves the out string alone
    EXPECT_FALSE(QvFile::GetUniqueStrAttrFromXmlFile(missing.c_str(), "v", &value));
    EXPECT_FALSE(QvFile::GetUniqueStrAttrFromXmlFile(nullptr, "v", &value));
    EXPECT_EQ("sentinel", TextOf(value));

    QvStringVector snippets;
    snippets.Add(new QvString("stale"));
    EXPECT_TRUE(QvFile::GetAllXmlSnippetsWithTagNameInXmlFile(path.c_str(), "t", &snippets));
    EXPECT_EQ(std::vector<std::string>{"<t>two</t>"}, TextsOf(snippets));
    EXPECT_FALSE(QvFile::GetAllXmlSnippetsWithTagNameInXmlFile(missing.c_str(), "t", &snippets));
    EXPECT_EQ(0, snippets.GetCount());
    EXPECT_FALSE(QvFile::GetAllXmlSnippetsWithTagNameInXmlFile(path.c_str(), "t", nullptr));
}
