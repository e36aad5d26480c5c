// Fuzz target: both UTF conversions against two independent references, a lenient codec written here
// from the documented rules (encoded surrogates pass) and iconv(3) where it takes the input. UTF-8 to
// UTF-16 on the input bytes, NUL included (and back, up to the first NUL); UTF-16 to UTF-8 on the
// input read as little-endian units.
#include <iconv.h>

#include <string>

#include "FuzzEnvironment.h"
#include "qvbase/QvUtf16String.h"

namespace {

// The documented decoder: true and the units when the whole input decodes.
bool ReferenceDecodeUtf8(const uint8_t* s, size_t n, std::u16string* out) {
    out->clear();
    for (size_t i = 0; i < n;) {
        uint8_t lead = s[i];
        int trail = lead < 0xC0 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
        if ((trail > 0 && i + trail >= n) || (lead >= 0x80 && lead <= 0xC1) || lead > 0xF4)
            return false;  // source exhausted, or no lead byte
        auto continuation = [&](size_t k) { return s[k] >= 0x80 && s[k] <= 0xBF; };
        if (trail >= 2 && (!continuation(i + trail) || !continuation(i + trail - 1)))
            return false;
        // The second byte's range: narrower after 0xE0 and 0xF0; after 0xF4 no lower bound.
        uint8_t low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : lead == 0xF4 ? 0 : 0x80;
        if (trail >= 1 && (s[i + 1] < low || s[i + 1] > (lead == 0xF4 ? 0x8F : 0xBF)))
            return false;
        // Whole bytes added six bits apart, minus the offset of the lead marks: after 0xF4
        // the second byte has no lower bound, so a byte below 0x80 borrows from the lead.
        static const uint32_t kOffsets[] = {0, 0x3080, 0xE2080, 0x3C82080};
        uint32_t value = 0;
        for (int k = 0; k <= trail; ++k)
            value = (value << (k ? 6 : 0)) + s[i + k];
        value -= kOffsets[trail];
        if (value >= 0x10000)  // a surrogate pair; the bounds above keep it below 0x110000
            out->push_back(char16_t(0xD800 + ((value - 0x10000) >> 10)));
        out->push_back(char16_t(value < 0x10000 ? value : 0xDC00 + (value & 0x3FF)));
        i += trail + 1;
    }
    return true;
}

// The documented lenient encoder, up to the first 0 unit.
std::string ReferenceEncodeUtf16(const std::u16string& units) {
    static const uint8_t kLeadMarks[] = {0, 0xC0, 0xE0, 0xF0};
    std::string out;
    for (size_t i = 0; i < units.size() && units[i] != 0; ++i) {
        uint32_t c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        int trail = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
        out.push_back(char(kLeadMarks[trail] | (c >> (6 * trail))));
        for (int k = trail - 1; k >= 0; --k)
            out.push_back(char(0x80 | ((c >> (6 * k)) & 0x3F)));
    }
    return out;
}

// iconv between two encodings; false when iconv refuses any part of the input.
bool IconvConvert(const char* to, const char* from, const void* input, size_t inputSize, std::string* out) {
    iconv_t cd = iconv_open(to, from);
    Check(cd != reinterpret_cast<iconv_t>(-1));
    out->assign(inputSize * 4 + 8, 0);
    char* in = const_cast<char*>(static_cast<const char*>(input));
    char* outPtr = &(*out)[0];
    size_t inLeft = inputSize, outLeft = out->size();
    // A shift sequence or pending state is flushed by the second call.
    bool ok = iconv(cd, &in, &inLeft, &outPtr, &outLeft) != size_t(-1) && inLeft == 0 &&
              iconv(cd, nullptr, nullptr, &outPtr, &outLeft) != size_t(-1);
    out->resize(out->size() - outLeft);
    iconv_close(cd);
    return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1000000)
        return 0;
    const std::string input(reinterpret_cast<const char*>(data), size);
    QvString source, error;
    source.Set(input.data(), int32_t(size));
    QvUtf16String wide;
    Check(QvUtf16String::ConvertUtf8QvStringToUtf16(&source, &wide, &error));
    std::u16string expected;
    bool decodes = ReferenceDecodeUtf8(data, size, &expected);
    if (!decodes)
        expected.assign(data, data + size);  // widened byte by byte
    Check(decodes == (error.GetLength() == 0));
    const std::u16string units16(wide.GetText(), size_t(wide.GetUnitCount()));
    Check(units16 == expected);

    // Whatever iconv takes, the documented decoder takes too, and the way back gives the input up to its NUL.
    std::string iconvUnits;
    QvString back;
    Check(!IconvConvert("UTF-16LE", "UTF-8", data, size, &iconvUnits) ||
          (decodes && iconvUnits == std::string(reinterpret_cast<const char*>(units16.data()), units16.size() * 2) &&
           QvUtf16String::ConvertUtf16QvStringToUtf8(&wide, &back, nullptr) &&
           QvFuzz::Text(back) == input.substr(0, input.find('\0'))));

    std::u16string units(size / 2, 0);
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = char16_t(data[2 * i] | (data[2 * i + 1] << 8));
    QvUtf16String unitText;
    unitText.Set(units.data(), int32_t(units.size()));
    QvString utf8, utf8Error;
    Check(QvUtf16String::ConvertUtf16QvStringToUtf8(&unitText, &utf8, &utf8Error) && utf8Error.GetLength() == 0);
    const std::string encoded = ReferenceEncodeUtf16(units);
    Check(QvFuzz::Text(utf8) == encoded);

    // iconv agrees on the part before the first 0 unit whenever that part is well formed.
    const std::u16string beforeNul = units.substr(0, units.find(u'\0'));
    std::string iconvBytes;
    Check(!IconvConvert("UTF-8", "UTF-16LE", beforeNul.data(), beforeNul.size() * 2, &iconvBytes) ||
          iconvBytes == encoded);
    return 0;
}
