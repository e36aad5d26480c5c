// UTF-8 <-> UTF-16 conversion against ICU (u_strFromUTF8 / u_strToUTF8) and iconv(3), on
// 1 MB of mixed text, 1 MB of ASCII and 10000 short paths. Every contender writes into a
// destination kept across iterations; "qvbase-fresh" builds a new destination string per
// text, as each wide platform call of the library does (for long texts this is the path
// through the work block: a kept destination with room for the worst case is written
// directly); for the short paths, "pair/.../fresh" times it against ICU converting into a
// new block per text.
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

void ToUtf16Qvbase(benchmark::State& state, InputsOf of) {
    const Inputs& in = of();
    QvUtf16String out;
    for (auto _ : state) {
        for (const auto& text : in.narrow) {
            QvUtf16String::ConvertUtf8QvStringToUtf16(text.get(), &out, nullptr);
            benchmark::DoNotOptimize(out.GetText());
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations() * in.bytes));
}

void ToUtf16QvbaseFresh(benchmark::State& state, InputsOf of) {
    const Inputs& in = of();
    for (auto _ : state) {
        for (const auto& text : in.narrow) {
            QvUtf16String out;
            QvUtf16String::ConvertUtf8QvStringToUtf16(text.get(), &out, nullptr);
            benchmark::DoNotOptimize(out.GetText());
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations() * in.bytes));
}

void ToUtf16Icu(benchmark::State& state, InputsOf of) {
    const Inputs& in = of();
    std::vector<UChar> out(in.maxUnits + 1);
    for (auto _ : state) {
        for (const std::string& text : in.utf8) {
            UErrorCode status = U_ZERO_ERROR;
            int32_t units = 0;
            u_strFromUTF8(out.data(), int32_t(out.size()), &units, text.data(), int32_t(text.size()), &status);
            benchmark::DoNotOptimize(units);
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations() * in.bytes));
}

void ToUtf16Iconv(benchmark::State& state, InputsOf of) {
    const Inputs& in = of();
    std::vector<char16_t> out(in.maxUnits + 1);
    iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
    for (auto _ : state) {
        for (const std::string& text : in.utf8) {
            char* source = const_cast<char*>(text.data());
            size_t sourceLeft = text.size();
            char* target = reinterpret_cast<char*>(out.data());
            size_t targetLeft = out.size() * 2;
            iconv(cd, &source, &sourceLeft, &target, &targetLeft);
            benchmark::DoNotOptimize(target);
        }
    }
    iconv_close(cd);
    state.SetBytesProcessed(int64_t(state.iterations() * in.bytes));
}

void ToUtf8Qvbase(benchmark::State& state, InputsOf of) {
    const Inputs& in = of();
    QvString out;
    for (auto _ : state) {
        for (const auto& text : in.wide) {
            QvUtf16String::ConvertUtf16QvStringToUtf8(text.get(), &out, nullptr);
            benchmark::DoNotOptimize(out.GetText());
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations() * in.bytes));
}

void ToUtf8QvbaseFresh(benchmark::State& state, InputsOf of) {
    const Inputs& in = of();
    for (auto _ : state) {
        for (const auto& text : in.wide) {
            QvString out;
            QvUtf16String::ConvertUtf16QvStringToUtf8(text.get(), &out, nullptr);
            benchmark::DoNotOptimize(out.GetText());
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations() * in.bytes));
}

void ToUtf8Icu(benchmark::State& state, InputsOf of) {
    const Inputs& in = of();
    std::vector<char> out(in.maxUnits * 3 + 1);
    for (auto _ : state) {
        for (const auto& text : in.wide) {
            UErrorCode status = U_ZERO_ERROR;
            int32_t bytes = 0;
            u_strToUTF8(out.data(), int32_t(out.size()), &bytes, reinterpret_cast<const UChar*>(text->GetText()),
                        text->GetUnitCount(), &status);
            benchmark::DoNotOptimize(bytes);
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations() * in.bytes));
}

// A new destination per text against ICU writing into a new block per text, sized for the
// longest result: both sides pay the allocator for every text. Measured in alternating
// turns (QvBenchPaired.h).
void ToUtf16FreshPair(benchmark::State& state, InputsOf of) {
    const Inputs& in = of();
    QvBenchPaired::Run(
        state, 1,
        [&] {
            for (const auto& text : in.narrow) {
                QvUtf16String out;
                QvUtf16String::ConvertUtf8QvStringToUtf16(text.get(), &out, nullptr);
                benchmark::DoNotOptimize(out.GetText());
            }
        },
        [&] {
            for (const std::string& text : in.utf8) {
                UChar* out = static_cast<UChar*>(malloc((text.size() + 1) * sizeof(UChar)));
                UErrorCode status = U_ZERO_ERROR;
                int32_t units = 0;
                u_strFromUTF8(out, int32_t(text.size() + 1), &units, text.data(), int32_t(text.size()), &status);
                benchmark::DoNotOptimize(out);
                free(out);
            }
        });
}

void ToUtf8FreshPair(benchmark::State& state, InputsOf of) {
    const Inputs& in = of();
    QvBenchPaired::Run(
        state, 1,
        [&] {
            for (const auto& text : in.wide) {
                QvString out;
                QvUtf16String::ConvertUtf16QvStringToUtf8(text.get(), &out, nullptr);
                benchmark::DoNotOptimize(out.GetText());
            }
        },
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
        });
}

void ToUtf8Iconv(benchmark::State& state, InputsOf of) {
    const Inputs& in = of();
    std::vector<char> out(in.maxUnits * 3 + 1);
    iconv_t cd = iconv_open("UTF-8", "UTF-16LE");
    for (auto _ : state) {
        for (const auto& text : in.wide) {
            char* source = reinterpret_cast<char*>(const_cast<char16_t*>(text->GetText()));
            size_t sourceLeft = size_t(text->GetLength());
            char* target = out.data();
            size_t targetLeft = out.size();
            iconv(cd, &source, &sourceLeft, &target, &targetLeft);
            benchmark::DoNotOptimize(target);
        }
    }
    iconv_close(cd);
    state.SetBytesProcessed(int64_t(state.iterations() * in.bytes));
}

const struct Registration {
    Registration() {
        const struct {
            const char* name;
            InputsOf of;
        } inputs[] = {{"mixed1MB", Mixed}, {"ascii1MB", Ascii}, {"paths10000", Paths}};
        for (const auto& input : inputs) {
            std::string to16 = std::string("utf8to16/") + input.name + "/";
            std::string to8 = std::string("utf16to8/") + input.name + "/";
            benchmark::RegisterBenchmark((to16 + "qvbase").c_str(), ToUtf16Qvbase, input.of);
            benchmark::RegisterBenchmark((to16 + "qvbase-fresh").c_str(), ToUtf16QvbaseFresh, input.of);
            benchmark::RegisterBenchmark((to16 + "icu").c_str(), ToUtf16Icu, input.of);
            benchmark::RegisterBenchmark((to16 + "iconv").c_str(), ToUtf16Iconv, input.of);
            benchmark::RegisterBenchmark((to8 + "qvbase").c_str(), ToUtf8Qvbase, input.of);
            benchmark::RegisterBenchmark((to8 + "qvbase-fresh").c_str(), ToUtf8QvbaseFresh, input.of);
            benchmark::RegisterBenchmark((to8 + "icu").c_str(), ToUtf8Icu, input.of);
            benchmark::RegisterBenchmark((to8 + "iconv").c_str(), ToUtf8Iconv, input.of);
        }
        benchmark::RegisterBenchmark("pair/utf8to16/paths10000/fresh", ToUtf16FreshPair, Paths);
        benchmark::RegisterBenchmark("pair/utf16to8/paths10000/fresh", ToUtf8FreshPair, Paths);
    }
} registration;

}  // namespace
