// UTF-8 <-> UTF-16 conversion against ICU (u_strFromUTF8 / u_strToUTF8) and iconv(3), on
// 1 MB of mixed text, 1 MB of ASCII and 10000 short paths, every contender reading the same
// source strings. "qvbase", "icu" and "iconv"
// write into a destination kept across iterations; "qvbase-fresh" builds a new destination
// string per text, as each wide platform call of the library does (for long texts this is
// the path through the work block: a kept destination with room for the worst case is
// written directly), and "icu-fresh" converts into a new block per text.
#include <benchmark/benchmark.h>
#include <iconv.h>
#include <unicode/ustring.h>

#include <memory>
#include <string>
#include <vector>

#include "QvBenchData.h"
#include "QvBenchPaired.h"
#include "qvbase/QvString.h"
#include "qvbase/QvUtf16String.h"

namespace {

const size_t kBigInput = 1 << 20;
const size_t kPathCount = 10000;

struct Inputs {
    std::vector<std::string> utf8;  // the texts of one input
    std::vector<std::unique_ptr<QvString>> narrow;
    std::vector<std::unique_ptr<QvUtf16String>> wide;
    size_t bytes = 0;
    size_t maxUnits = 0;

    explicit Inputs(std::vector<std::string> texts) : utf8(std::move(texts)) {
        for (const std::string& text : utf8) {
            narrow.emplace_back(new QvString(text.c_str()));
            wide.emplace_back(new QvUtf16String());
            QvUtf16String::ConvertUtf8QvStringToUtf16(narrow.back().get(), wide.back().get(), nullptr);
            bytes += text.size();
            if (size_t(wide.back()->GetUnitCount()) > maxUnits)
                maxUnits = size_t(wide.back()->GetUnitCount());
        }
    }
};

const Inputs& Mixed() {
    static Inputs inputs({QvBenchData::MixedText(kBigInput)});
    return inputs;
}
const Inputs& Ascii() {
    static Inputs inputs({QvBenchData::AsciiText(kBigInput)});
    return inputs;
}
const Inputs& Paths() {
    static Inputs inputs(QvBenchData::ShortPaths(kPathCount));
    return inputs;
}

typedef const Inputs& (*InputsOf)();

// One input in one direction: ours into a kept destination, ours into a new destination
// per text, ICU into a kept buffer and into a new block per text, and iconv, measured in
// turns within one benchmark (QvBenchPaired.h).
void ToUtf16(benchmark::State& state, InputsOf of) {
    const Inputs& in = of();
    QvUtf16String kept;
    std::vector<UChar> icuOut(in.maxUnits + 1);
    std::vector<char16_t> iconvOut(in.maxUnits + 1);
    iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
    QvBenchPaired::RunGroup(
        state, 1,
        {{"qvbase",
          [&] {
              for (const auto& text : in.narrow) {
                  QvUtf16String::ConvertUtf8QvStringToUtf16(text.get(), &kept, nullptr);
                  benchmark::DoNotOptimize(kept.GetText());
              }
          }},
         {"qvbase-fresh",
          [&] {
              for (const auto& text : in.narrow) {
                  QvUtf16String out;
                  QvUtf16String::ConvertUtf8QvStringToUtf16(text.get(), &out, nullptr);
                  benchmark::DoNotOptimize(out.GetText());
              }
          }},
         {"icu",
          [&] {
              for (const auto& text : in.narrow) {
                  UErrorCode status = U_ZERO_ERROR;
                  int32_t units = 0;
                  u_strFromUTF8(icuOut.data(), int32_t(icuOut.size()), &units, text->GetText(), text->GetLength(),
                                &status);
                  benchmark::DoNotOptimize(units);
              }
          }},
         {"icu-fresh",
          [&] {
              for (const auto& text : in.narrow) {
                  const int32_t size = text->GetLength() + 1;
                  UChar* out = static_cast<UChar*>(malloc(size_t(size) * sizeof(UChar)));
                  UErrorCode status = U_ZERO_ERROR;
                  int32_t units = 0;
                  u_strFromUTF8(out, size, &units, text->GetText(), text->GetLength(), &status);
                  benchmark::DoNotOptimize(out);
                  free(out);
              }
          }},
         {"iconv", [&] {
              for (const auto& text : in.narrow) {
                  char* source = const_cast<char*>(text->GetText());
                  size_t sourceLeft = size_t(text->GetLength());
                  char* target = reinterpret_cast<char*>(iconvOut.data());
                  size_t targetLeft = iconvOut.size() * 2;
                  iconv(cd, &source, &sourceLeft, &target, &targetLeft);
                  benchmark::DoNotOptimize(target);
              }
          }}});
    iconv_close(cd);
}

void ToUtf8(benchmark::State& state, InputsOf of) {
    const Inputs& in = of();
    QvString kept;
    std::vector<char> icuOut(in.maxUnits * 3 + 1), iconvOut(in.maxUnits * 3 + 1);
    iconv_t cd = iconv_open("UTF-8", "UTF-16LE");
    QvBenchPaired::RunGroup(
        state, 1,
        {{"qvbase",
          [&] {
              for (const auto& text : in.wide) {
                  QvUtf16String::ConvertUtf16QvStringToUtf8(text.get(), &kept, nullptr);
                  benchmark::DoNotOptimize(kept.GetText());
              }
          }},
         {"qvbase-fresh",
          [&] {
              for (const auto& text : in.wide) {
                  QvString out;
                  QvUtf16String::ConvertUtf16QvStringToUtf8(text.get(), &out, nullptr);
                  benchmark::DoNotOptimize(out.GetText());
              }
          }},
         {"icu",
          [&] {
              for (const auto& text : in.wide) {
                  UErrorCode status = U_ZERO_ERROR;
                  int32_t bytes = 0;
                  u_strToUTF8(icuOut.data(), int32_t(icuOut.size()), &bytes,
                              reinterpret_cast<const UChar*>(text->GetText()), text->GetUnitCount(), &status);
                  benchmark::DoNotOptimize(bytes);
              }
          }},
         {"icu-fresh",
          [&] {
              for (const auto& text : in.wide) {
                  const size_t size = size_t(text->GetUnitCount()) * 3 + 1;
                  char* out = static_cast<char*>(malloc(size));
                  UErrorCode status = U_ZERO_ERROR;
                  int32_t bytes = 0;
                  u_strToUTF8(out, int32_t(size), &bytes, reinterpret_cast<const UChar*>(text->GetText()),
                              text->GetUnitCount(), &status);
                  benchmark::DoNotOptimize(out);
                  free(out);
              }
          }},
         {"iconv", [&] {
              for (const auto& text : in.wide) {
                  char* source = reinterpret_cast<char*>(const_cast<char16_t*>(text->GetText()));
                  size_t sourceLeft = size_t(text->GetLength());
                  char* target = iconvOut.data();
                  size_t targetLeft = iconvOut.size();
                  iconv(cd, &source, &sourceLeft, &target, &targetLeft);
                  benchmark::DoNotOptimize(target);
              }
          }}});
    iconv_close(cd);
}

const struct Registration {
    Registration() {
        const struct {
            const char* name;
            InputsOf of;
        } inputs[] = {{"mixed1MB", Mixed}, {"ascii1MB", Ascii}, {"paths10000", Paths}};
        for (const auto& input : inputs) {
            benchmark::RegisterBenchmark((std::string("utf8to16/") + input.name).c_str(), ToUtf16, input.of);
            benchmark::RegisterBenchmark((std::string("utf16to8/") + input.name).c_str(), ToUtf8, input.of);
        }
    }
} registration;

}  // namespace
