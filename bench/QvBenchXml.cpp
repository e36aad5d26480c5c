// Snippet access on settings files of 4 KB, 300 KB and 5 MB: every '<qvdirfilter ' element
// and the attribute "qvui_locale", against glibc memmem looking for the same two patterns
// and against pugixml parsing the text and reading the same element names and attribute.
// The hostile inputs (a run of '<', 'name="' repeated without blanks, openings that never
// close) are measured with the same qvbase calls; their time per byte is compared with
// the normal 300 KB file. Contenders run in turns within one benchmark (QvBenchPaired.h).
#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <cstring>
#include <string>

#include "QvBenchData.h"
#include "QvBenchPaired.h"
#include "qvbase/QvFileXml.h"
#include "qvbase/QvString.h"
#include "qvbase/QvStringVector.h"

namespace {

const char kTag[] = "qvdirfilter";
const char kAttribute[] = "qvui_locale";

// Every snippet of the tag and the attribute, as the settings readers ask for them.
void WalkQvbase(const QvString& text, const char* tag, const char* attribute, QvStringVector* snippets,
                QvString* value) {
    QvFile::GetAllXmlSnippetsWithTagNameInXml(&text, tag, snippets);
    QvFile::GetUniqueStrAttrFromXmlSnippet(text.GetText(), attribute, value);
    benchmark::DoNotOptimize(snippets->GetCount());
}

// The same two searches with memmem: every '<qvdirfilter ' and its '/>' , then ' qvui_locale="'
// and the closing quote. No copies.
void WalkMemmem(const std::string& text) {
    const char open[] = "<qvdirfilter ";
    const char pattern[] = " qvui_locale=\"";
    size_t found = 0;
    const char* end = text.data() + text.size();
    for (const char* at = text.data();;) {
        const char* hit = static_cast<const char*>(memmem(at, size_t(end - at), open, sizeof open - 1));
        if (!hit)
            break;
        const char* close = static_cast<const char*>(memmem(hit, size_t(end - hit), "/>", 2));
        if (!close)
            break;
        ++found;
        at = close + 2;
    }
    const char* attr = static_cast<const char*>(memmem(text.data(), text.size(), pattern, sizeof pattern - 1));
    if (attr)
        benchmark::DoNotOptimize(memchr(attr + sizeof pattern - 1, '"', size_t(end - attr)));
    benchmark::DoNotOptimize(found);
}

void WalkPugixml(const std::string& text) {
    pugi::xml_document document;
    document.load_buffer(text.data(), text.size());
    size_t found = 0;
    struct Walker : pugi::xml_tree_walker {
        size_t* count;
        bool for_each(pugi::xml_node& node) override {
            if (std::strcmp(node.name(), kTag) == 0)
                ++*count;
            return true;
        }
    } walker;
    walker.count = &found;
    document.traverse(walker);
    benchmark::DoNotOptimize(document.child("qvinfo").attribute(kAttribute).value());
    benchmark::DoNotOptimize(found);
}

// A settings file of `bytes` bytes: ours, memmem and pugixml in turns (QvBenchPaired.h).
void Xml(benchmark::State& state, size_t bytes, int batch) {
    const std::string text = QvBenchData::SettingsOfSize(bytes);
    const QvString qvText(text.c_str());
    QvStringVector snippets;
    QvString value;
    QvBenchPaired::RunGroup(state, batch,
                            {{"qvbase", [&] { WalkQvbase(qvText, kTag, kAttribute, &snippets, &value); }},
                             {"memmem", [&] { WalkMemmem(text); }},
                             {"pugixml", [&] { WalkPugixml(text); }}});
}

// The hostile inputs of 300 KB (a run of '<', 'name="' repeated without blanks, openings
// that never close) in turns with the normal settings file of the same size, each walked
// for the tag and the attribute it is made of.
void XmlHostile(benchmark::State& state) {
    const size_t bytes = 300 << 10;
    const QvString normal(QvBenchData::SettingsOfSize(bytes).c_str());
    const QvString lessThan(QvBenchData::RunOfLessThan(bytes).c_str());
    const QvString nameEquals(QvBenchData::RepeatedNameEquals(bytes).c_str());
    const QvString unclosed(QvBenchData::UnclosedOpenings(bytes).c_str());
    QvStringVector snippets;
    QvString value;
    QvBenchPaired::RunGroup(state, 1,
                            {{"normal", [&] { WalkQvbase(normal, kTag, kAttribute, &snippets, &value); }},
                             {"less-than-run", [&] { WalkQvbase(lessThan, kTag, kAttribute, &snippets, &value); }},
                             {"name-equals", [&] { WalkQvbase(nameEquals, "name", "name", &snippets, &value); }},
                             {"unclosed", [&] { WalkQvbase(unclosed, kTag, kAttribute, &snippets, &value); }}});
}

const struct Registration {
    Registration() {
        benchmark::RegisterBenchmark("xml/4KB", Xml, size_t(4 << 10), 64);
        benchmark::RegisterBenchmark("xml/300KB", Xml, size_t(300 << 10), 1);
        benchmark::RegisterBenchmark("xml/5MB", Xml, size_t(5 << 20), 1);
        benchmark::RegisterBenchmark("xmlhostile/300KB", XmlHostile);
    }
} registration;

}  // namespace
