// Snippet access on settings files of 4 KB, 300 KB and 5 MB: every '<qvdirfilter ' element
// and the attribute "qvui_locale", against glibc memmem looking for the same two patterns
// and against pugixml parsing the text and reading the same element names and attribute.
// The hostile inputs (a run of '<', 'name="' repeated without blanks, openings that never
// close) are measured with the same qvbase calls; their time per byte is compared with
// the normal 300 KB file.
#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <cstring>
#include <string>

#include "QvBenchData.h"
#include "qvbase/QvFileXml.h"
#include "qvbase/QvString.h"
#include "qvbase/QvStringVector.h"

namespace {

const char kTag[] = "qvdirfilter";
const char kAttribute[] = "qvui_locale";

typedef std::string (*Build)(size_t bytes);

void Qvbase(benchmark::State& state, Build build, size_t bytes, const char* tag, const char* attribute) {
    QvString text(build(bytes).c_str());
    QvStringVector snippets;
    QvString value;
    for (auto _ : state) {
        QvFile::GetAllXmlSnippetsWithTagNameInXml(&text, tag, &snippets);
        QvFile::GetUniqueStrAttrFromXmlSnippet(text.GetText(), attribute, &value);
        benchmark::DoNotOptimize(snippets.GetCount());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * text.GetLength());
}

// The same two searches with memmem: every '<qvdirfilter ' and its '/>' , then ' qvui_locale="'
// and the closing quote. No copies.
void Memmem(benchmark::State& state, Build build, size_t bytes) {
    const std::string text = build(bytes);
    const char open[] = "<qvdirfilter ";
    const char pattern[] = " qvui_locale=\"";
    for (auto _ : state) {
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
    state.SetBytesProcessed(int64_t(state.iterations() * text.size()));
}

void Pugixml(benchmark::State& state, Build build, size_t bytes) {
    const std::string text = build(bytes);
    for (auto _ : state) {
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
    state.SetBytesProcessed(int64_t(state.iterations() * text.size()));
}

const struct Registration {
    Registration() {
        const struct {
            const char* name;
            size_t bytes;
        } sizes[] = {{"4KB", 4 << 10}, {"300KB", 300 << 10}, {"5MB", 5 << 20}};
        for (const auto& size : sizes) {
            std::string base = std::string("xml/") + size.name + "/";
            benchmark::RegisterBenchmark((base + "qvbase").c_str(), Qvbase, QvBenchData::SettingsOfSize,
                                         size.bytes, kTag, kAttribute);
            benchmark::RegisterBenchmark((base + "memmem").c_str(), Memmem, QvBenchData::SettingsOfSize,
                                         size.bytes);
            benchmark::RegisterBenchmark((base + "pugixml").c_str(), Pugixml, QvBenchData::SettingsOfSize,
                                         size.bytes);
        }
        // Hostile inputs of 300 KB: the tag and the attribute that each input is made of.
        benchmark::RegisterBenchmark("xmlhostile/300KB/less-than-run", Qvbase, QvBenchData::RunOfLessThan,
                                     size_t(300 << 10), kTag, kAttribute);
        benchmark::RegisterBenchmark("xmlhostile/300KB/name-equals", Qvbase, QvBenchData::RepeatedNameEquals,
                                     size_t(300 << 10), "name", "name");
        benchmark::RegisterBenchmark("xmlhostile/300KB/unclosed", Qvbase, QvBenchData::UnclosedOpenings,
                                     size_t(300 << 10), kTag, kAttribute);
    }
} registration;

}  // namespace
