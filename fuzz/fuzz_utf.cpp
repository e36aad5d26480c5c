// Fuzz target: both UTF conversions, checked against two independent references.
// - UTF-8 to UTF-16: the input bytes (NUL bytes included). A small decoder written here
//   from the documented rules (lenient: encoded surrogates pass) says whether the input
//   converts or takes the byte-wise fallback; the result must match it unit for unit.
//   When iconv(3) accepts the input as UTF-8 the result must also equal iconv's UTF-16LE,
//   and converting back to UTF-8 must give the input (up to its first NUL byte).
// - UTF-16 to UTF-8: the input read as little-endian units; compared with an encoder
//   written here, and with iconv when the units are well-formed UTF-16.
#include <iconv.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "qvbase/QvString.h"
#include "qvbase/QvUtf16String.h"

namespace {

void Check(bool condition) {
    if (!condition)
        abort();
}

// The documented decoder: true and the units when the whole input decodes.
bool ReferenceDecodeUtf8(const uint8_t* s, size_t n, std::vector<char16_t>* out) {
    out->clear();
    size_t i = 0;
    while (i < n) {
        uint8_t lead = s[i];
        int trail = lead < 0xC0 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : lead < 0xF8 ? 3 : lead < 0xFC ? 4 : 5;
        if (i + trail >= n && trail > 0)
            return false;  // source exhausted
        if (trail > 3)
            return false;
        if (trail >= 2 && (s[i + trail] < 0x80 || s[i + trail] > 0xBF))
            return false;
        if (trail >= 2 && (s[i + trail - 1] < 0x80 || s[i + trail - 1] > 0xBF))
            return false;
        if (trail >= 1) {
            uint8_t second = s[i + 1];
            if (second > 0xBF)
                return false;
            if (lead == 0xE0 && second < 0xA0)
                return false;
            if (lead == 0xF0 && second < 0x90)
                return false;
            if (lead == 0xF4 && second > 0x8F)
                return false;
            if (lead != 0xE0 && lead != 0xF0 && lead != 0xF4 && second < 0x80)
                return false;
        }
        if ((lead >= 0x80 && lead <= 0xC1) || lead > 0xF4)
            return false;
        // Whole bytes added six bits apart, minus the offset of the lead marks: after 0xF4
        // the second byte has no lower bound, so a byte below 0x80 borrows from the lead.
        static const uint32_t kOffsets[] = {0, 0x3080, 0xE2080, 0x3C82080};
        uint32_t value = 0;
        for (int k = 0; k <= trail; ++k)
            value = (value << (k ? 6 : 0)) + s[i + k];
        value -= kOffsets[trail];
        if (value < 0x10000) {
            out->push_back(static_cast<char16_t>(value));
        } else if (value < 0x110000) {
            out->push_back(static_cast<char16_t>(0xD800 + ((value - 0x10000) >> 10)));
            out->push_back(static_cast<char16_t>(0xDC00 + (value & 0x3FF)));
        } else {
            out->push_back(0xFFFD);
        }
        i += trail + 1;
    }
    return true;
}

// The documented lenient encoder, up to the first 0 unit.
std::vector<uint8_t> ReferenceEncodeUtf16(const std::vector<char16_t>& units) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i < units.size() && units[i] != 0; ++i) {
        uint32_t c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        }
        if (c < 0x80) {
            out.push_back(static_cast<uint8_t>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<uint8_t>(0xC0 | (c >> 6)));
            out.push_back(static_cast<uint8_t>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<uint8_t>(0xE0 | (c >> 12)));
            out.push_back(static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<uint8_t>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<uint8_t>(0xF0 | (c >> 18)));
            out.push_back(static_cast<uint8_t>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<uint8_t>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

// iconv between two encodings; false when iconv refuses any part of the input.
bool IconvConvert(const char* to, const char* from, const void* input, size_t inputSize, std::vector<uint8_t>* out) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        abort();
    out->assign(inputSize * 4 + 8, 0);
    char* in = const_cast<char*>(static_cast<const char*>(input));
    size_t inLeft = inputSize;
    char* outPtr = reinterpret_cast<char*>(out->data());
    size_t outLeft = out->size();
    size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    bool ok = result != static_cast<size_t>(-1) && inLeft == 0;
    if (ok) {
        // A shift sequence or pending state would be flushed here.
        ok = iconv(cd, nullptr, nullptr, &outPtr, &outLeft) != static_cast<size_t>(-1);
    }
    out->resize(out->size() - outLeft);
    iconv_close(cd);
    return ok;
}

bool UnitsEqual(const QvUtf16String& wide, const std::vector<char16_t>& units) {
    return wide.GetUnitCount() == static_cast<int32_t>(units.size()) &&
           (units.empty() || memcmp(wide.GetText(), units.data(), units.size() * 2) == 0);
}

void CheckUtf8ToUtf16(const uint8_t* data, size_t size) {
    QvString source;
    source.Set(reinterpret_cast<const char*>(data), static_cast<int32_t>(size));
    QvUtf16String wide;
    QvString error;
    Check(QvUtf16String::ConvertUtf8QvStringToUtf16(&source, &wide, &error));

    std::vector<char16_t> expected;
    bool decodes = ReferenceDecodeUtf8(data, size, &expected);
    if (!decodes) {
        expected.assign(data, data + size);  // widened byte by byte
        Check(error.GetLength() > 0);
    } else {
        Check(error.GetLength() == 0);
    }
    Check(UnitsEqual(wide, expected));

    std::vector<uint8_t> iconvUnits;
    if (IconvConvert("UTF-16LE", "UTF-8", data, size, &iconvUnits)) {
        Check(decodes);  // whatever iconv takes, the documented decoder takes too
        Check(wide.GetLength() == static_cast<int32_t>(iconvUnits.size()) &&
              memcmp(wide.GetText(), iconvUnits.data(), iconvUnits.size()) == 0);
        QvString back;
        Check(QvUtf16String::ConvertUtf16QvStringToUtf8(&wide, &back, nullptr));
        size_t upToNul = strnlen(reinterpret_cast<const char*>(data), size);
        Check(back.GetLength() == static_cast<int32_t>(upToNul) && memcmp(back.GetText(), data, upToNul) == 0);
    }
}

void CheckUtf16ToUtf8(const uint8_t* data, size_t size) {
    std::vector<char16_t> units(size / 2);
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    QvUtf16String wide;
    wide.Set(units.data(), static_cast<int32_t>(units.size()));
    QvString utf8;
    QvString error;
    Check(QvUtf16String::ConvertUtf16QvStringToUtf8(&wide, &utf8, &error));
    Check(error.GetLength() == 0);
    std::vector<uint8_t> expected = ReferenceEncodeUtf16(units);
    Check(utf8.GetLength() == static_cast<int32_t>(expected.size()) &&
          (expected.empty() || memcmp(utf8.GetText(), expected.data(), expected.size()) == 0));

    // iconv agrees on the part before the first 0 unit whenever that part is well formed.
    size_t n = 0;
    while (n < units.size() && units[n] != 0)
        ++n;
    std::vector<uint8_t> iconvBytes;
    if (IconvConvert("UTF-8", "UTF-16LE", units.data(), n * 2, &iconvBytes))
        Check(iconvBytes == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1000000)
        return 0;
    CheckUtf8ToUtf16(data, size);
    CheckUtf16ToUtf8(data, size);
    return 0;
}
