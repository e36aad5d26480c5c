// QvUtf16String and the UTF-8 <-> UTF-16 conversions used at every wide platform call.
// The decoder follows the classic reference converter with its leniencies (encoded
// surrogates pass, no lower bound after 0xF4); text it rejects is widened byte by byte so
// that a path or label with stray bytes still reaches the platform call.
//
// Both conversions measure first and then write straight into the destination's buffer,
// sized exactly as an assignment (or append) of the finished result would size it. There is
// no work block, so short and ASCII texts cost one pass more and nothing else; the limits
// (kMaxUtf16Units, kMaxUtf8Bytes) are checked while measuring. Because no work block is
// allocated, the "could not malloc 4 MB tmp" failure of the error texts cannot occur: the
// only allocation is the destination's own, and its failure leaves the destination without
// a buffer, as any failed string allocation does, with the result still true.
#include "qvbase/QvUtf16String.h"

#include <cstddef>
#include <cstring>

#include "platform/QvPlatformMemory.h"

namespace {
const char16_t kEmptyWideText[1] = {0};

const char kToUtf16NullArgument[] =
    "ERROR QvUtf16String::ConvertUtf8QvStringToUtf16, NULL src arg";
const char kToUtf16InvalidSequence[] =
    "ERROR QvUtf16String::ConvertUtf8QvStringToUtf16, ConvertUTF8toUTF16 failed on invalid "
    "sequence";
const char kToUtf8NullArgument[] = "ERROR QvUtf16String::ConvertUtf16QvStringToUtf8, NULL src arg";
const char kToUtf8OverLimit[] =
    "ERROR QvUtf16String::ConvertUtf16QvStringToUtf8, ConvertUTF16toUTF8 failed";

// Growth of EnsureCapacity: the smallest block, and the thresholds of the steps.
const int64_t kSmallestCapacity = 200;
const int64_t kFineStepsBelowCapacity = 1000;
const int64_t kMediumStepsBelowCapacity = 10000;

// What the reference converter subtracts after adding up a sequence's bytes six bits apart;
// it removes the lead-byte marks and the 0x80 of each trailing byte in one go.
const uint32_t kOffsetsFromUtf8[4] = {0x00000000u, 0x00003080u, 0x000E2080u, 0x03C82080u};

// Trailing bytes announced by a lead byte, by the reference table (0xF8 and up announce 4
// and 5, which are then illegal).
inline int TrailingBytes(uint8_t lead) {
    if (lead < 0xC0)
        return 0;
    if (lead < 0xE0)
        return 1;
    if (lead < 0xF0)
        return 2;
    if (lead < 0xF8)
        return 3;
    if (lead < 0xFC)
        return 4;
    return 5;
}

// Legality of one sequence of `size` bytes (1 to 4 are candidates), as the reference
// converter judges it.
bool IsLegalUtf8Sequence(const uint8_t* sequence, int size) {
    if (size > 4)
        return false;
    if (size == 4 && (sequence[3] < 0x80 || sequence[3] > 0xBF))
        return false;
    if (size >= 3 && (sequence[2] < 0x80 || sequence[2] > 0xBF))
        return false;
    if (size >= 2) {
        uint8_t second = sequence[1];
        if (second > 0xBF)
            return false;
        switch (sequence[0]) {
        case 0xE0:
            if (second < 0xA0)
                return false;
            break;
        case 0xF0:
            if (second < 0x90)
                return false;
            break;
        case 0xF4:
            if (second > 0x8F)
                return false;
            break;
        default:
            if (second < 0x80)
                return false;
            break;
        }
    }
    uint8_t lead = sequence[0];
    if (lead >= 0x80 && lead < 0xC2)
        return false;
    return lead <= 0xF4;
}

uint32_t SequenceValue(const uint8_t* sequence, int trailing) {
    uint32_t value = 0;
    for (int i = 0; i < trailing; ++i)
        value = (value + sequence[i]) << 6;
    value += sequence[trailing];
    return value - kOffsetsFromUtf8[trailing];
}

// True when the eight bytes at p are all below 0x80.
inline bool IsAsciiBlock(const uint8_t* p) {
    uint64_t block;
    std::memcpy(&block, p, sizeof block);
    return (block & 0x8080808080808080ull) == 0;
}

// Number of UTF-16 units the decoder produces for the whole source, or -1 when it stops
// early: a truncated or illegal sequence, or more than kMaxUtf16Units units.
int64_t MeasureUtf8AsUtf16(const uint8_t* source, int64_t size) {
    const int64_t limit = QvUtf16String::kMaxUtf16Units;
    int64_t units = 0;
    int64_t i = 0;
    while (i < size) {
        // Each ASCII byte is one unit, so an ASCII run needs no decoding.
        while (i + 8 <= size && units <= limit && IsAsciiBlock(source + i)) {
            i += 8;
            units += 8;
        }
        if (i >= size)
            break;
        uint8_t lead = source[i];
        if (lead < 0x80) {
            ++i;
            ++units;
        } else {
            int trailing = TrailingBytes(lead);
            if (trailing >= size - i)
                return -1;  // the sequence runs past the end of the source
            if (!IsLegalUtf8Sequence(source + i, trailing + 1))
                return -1;
            uint32_t value = SequenceValue(source + i, trailing);
            units += (value >= 0x10000 && value < 0x110000) ? 2 : 1;
            i += trailing + 1;
        }
        if (units > limit)
            return -1;  // the output area would be full before the end
    }
    return units <= limit ? units : -1;
}

// Decodes a source that MeasureUtf8AsUtf16 accepted; out has room for every unit.
void DecodeUtf8ToUtf16(const uint8_t* source, int64_t size, char16_t* out) {
    int64_t i = 0;
    while (i < size) {
        uint8_t lead = source[i];
        if (lead < 0x80) {
            *out++ = char16_t(lead);
            ++i;
            continue;
        }
        int trailing = TrailingBytes(lead);
        uint32_t value = SequenceValue(source + i, trailing);
        i += trailing + 1;
        if (value < 0x10000) {
            *out++ = char16_t(value);  // encoded surrogates come out unpaired, as they are
        } else if (value < 0x110000) {
            value -= 0x10000;
            *out++ = char16_t(0xD800 + (value >> 10));
            *out++ = char16_t(0xDC00 + (value & 0x3FF));
        } else {
            *out++ = char16_t(0xFFFD);
        }
    }
}

inline bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
inline bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Bytes of UTF-8 for the character starting at units[i], and how many units it takes.
inline int Utf8SizeAt(const char16_t* units, int64_t count, int64_t i, int* unitsTaken) {
    char16_t unit = units[i];
    *unitsTaken = 1;
    if (unit < 0x80)
        return 1;
    if (unit < 0x800)
        return 2;
    if (IsHighSurrogate(unit) && i + 1 < count && IsLowSurrogate(units[i + 1])) {
        *unitsTaken = 2;
        return 4;
    }
    return 3;
}

// Encodes units up to (not including) the first 0 unit or the end; out has room.
void EncodeUtf16ToUtf8(const char16_t* units, int64_t count, char* outText) {
    uint8_t* out = reinterpret_cast<uint8_t*>(outText);
    int64_t i = 0;
    while (i < count && units[i] != 0) {
        uint32_t value = units[i];
        if (value < 0x80) {
            *out++ = uint8_t(value);
            ++i;
            continue;
        }
        if (IsHighSurrogate(char16_t(value)) && i + 1 < count && IsLowSurrogate(units[i + 1])) {
            value = 0x10000 + ((value - 0xD800) << 10) + (uint32_t(units[i + 1]) - 0xDC00);
            i += 2;
        } else {
            ++i;
        }
        if (value < 0x800) {
            *out++ = uint8_t(0xC0 | (value >> 6));
        } else if (value < 0x10000) {
            *out++ = uint8_t(0xE0 | (value >> 12));
            *out++ = uint8_t(0x80 | ((value >> 6) & 0x3F));
        } else {
            *out++ = uint8_t(0xF0 | (value >> 18));
            *out++ = uint8_t(0x80 | ((value >> 12) & 0x3F));
            *out++ = uint8_t(0x80 | ((value >> 6) & 0x3F));
        }
        *out++ = uint8_t(0x80 | (value & 0x3F));
    }
}

// Converts size bytes of UTF-8 and appends the units to destination (which the callers
// have emptied where the result replaces the text). Sets error on the fallback.
void AppendConvertedUtf8(QvUtf16String* destination, const char* text, int64_t size,
                         QvString* error) {
    const uint8_t* source = reinterpret_cast<const uint8_t*>(text);
    int64_t units = MeasureUtf8AsUtf16(source, size);
    bool widen = units < 0;
    if (widen) {
        units = size < QvUtf16String::kMaxUtf16Units ? size : QvUtf16String::kMaxUtf16Units;
        if (error)
            error->Set(kToUtf16InvalidSequence);
    }
    if (units == 0)
        return;
    int64_t oldLength = destination->GetLength();
    int64_t newLength = oldLength + 2 * units;
    // A failed reallocation leaves the destination without a buffer; a length the
    // capacity field cannot hold leaves it empty.
    if (newLength > INT32_MAX - 2 || !destination->EnsureCapacity(int32_t(newLength))) {
        if (destination->GetBuffer())
            destination->SetLength(0);
        return;
    }
    char16_t* out = destination->GetBuffer() + oldLength / 2;
    if (widen) {
        for (int64_t i = 0; i < units; ++i)
            out[i] = char16_t(source[i]);  // each byte read as Latin-1
    } else {
        DecodeUtf8ToUtf16(source, size, out);
    }
    destination->SetLength(int32_t(newLength));
}
}  // namespace

QvUtf16String::QvUtf16String() : length(0), capacity(0), buffer(nullptr) {
    buffer = static_cast<char16_t*>(QvPlatform::Malloc(size_t(kInitialCapacity)));
    if (buffer) {
        capacity = kInitialCapacity;
        buffer[0] = 0;
    }
}

QvUtf16String::~QvUtf16String() { DropBuffer(); }

void QvUtf16String::DropBuffer() {
    QvPlatform::Free(buffer);
    buffer = nullptr;
    length = 0;
    capacity = 0;
}

const char16_t* QvUtf16String::GetText() const { return buffer ? buffer : kEmptyWideText; }

void QvUtf16String::SetLength(int32_t newLengthBytes) {
    if (!buffer || newLengthBytes < 0)
        return;
    int32_t even = newLengthBytes & ~int32_t(1);
    if (int64_t(even) + 2 > capacity)
        return;
    length = even;
    buffer[length / 2] = 0;
}

bool QvUtf16String::EnsureCapacity(int32_t n) {
    if (n < 0)
        return false;
    int64_t need = (int64_t(n) + 1) / 2 * 2 + 2;
    if (need <= capacity)
        return true;
    int64_t newCapacity;
    if (need <= kSmallestCapacity)
        newCapacity = kSmallestCapacity;
    else if (capacity < kFineStepsBelowCapacity)
        newCapacity = kInitialCapacity + 20 * ((need - kSmallestCapacity) / 20);
    else if (capacity < kMediumStepsBelowCapacity)
        newCapacity = need + 1000;
    else
        newCapacity = need + 100000;
    if (newCapacity > INT32_MAX)
        return false;  // beyond what the capacity field can record; nothing changes
    void* grown = buffer ? QvPlatform::Realloc(buffer, size_t(newCapacity))
                         : QvPlatform::Malloc(size_t(newCapacity));
    if (!grown) {
        DropBuffer();
        return false;
    }
    if (!buffer)
        static_cast<char16_t*>(grown)[0] = 0;
    buffer = static_cast<char16_t*>(grown);
    capacity = int32_t(newCapacity);
    return true;
}

void QvUtf16String::Set(const char16_t* units, int32_t count) {
    if (!units || count <= 0) {
        if (!buffer) {
            buffer = static_cast<char16_t*>(QvPlatform::Malloc(size_t(kInitialCapacity)));
            if (!buffer)
                return;
            capacity = kInitialCapacity;
        }
        length = 0;
        buffer[0] = 0;
        return;
    }
    // The units may lie in our own buffer, which growing can move.
    bool inside = buffer && units >= buffer && units < buffer + capacity / 2;
    ptrdiff_t offset = inside ? units - buffer : 0;
    if (count > INT32_MAX / 2 - 1 || !EnsureCapacity(2 * count)) {
        if (buffer) {
            length = 0;
            buffer[0] = 0;
        }
        return;
    }
    if (inside)
        units = buffer + offset;
    std::memmove(buffer, units, size_t(count) * 2);
    length = 2 * count;
    buffer[count] = 0;
}

void QvUtf16String::Append(const char16_t* units, int32_t count) {
    if (!units || count <= 0)
        return;
    bool inside = buffer && units >= buffer && units < buffer + capacity / 2;
    ptrdiff_t offset = inside ? units - buffer : 0;
    int64_t newLength = int64_t(length) + 2 * int64_t(count);
    if (newLength > INT32_MAX - 2 || !EnsureCapacity(int32_t(newLength))) {
        if (buffer) {
            length = 0;
            buffer[0] = 0;
        }
        return;
    }
    if (inside)
        units = buffer + offset;
    std::memmove(buffer + length / 2, units, size_t(count) * 2);
    length += 2 * count;
    buffer[length / 2] = 0;
}

void QvUtf16String::SetFromUtf8(const char* utf8) {
    Set(nullptr, 0);
    if (utf8)
        AppendConvertedUtf8(this, utf8, int64_t(std::strlen(utf8)), nullptr);
}

void QvUtf16String::AppendUtf8(const char* utf8) {
    if (utf8)
        AppendConvertedUtf8(this, utf8, int64_t(std::strlen(utf8)), nullptr);
}

bool QvUtf16String::ConvertUtf8QvStringToUtf16(const QvString* source,
                                                QvUtf16String* destination, QvString* error) {
    if (!source || !destination) {
        if (error)
            error->Set(kToUtf16NullArgument);
        return false;
    }
    destination->Set(nullptr, 0);
    if (error)
        error->Set("");
    AppendConvertedUtf8(destination, source->GetText(), source->GetLength(), error);
    return true;
}

bool QvUtf16String::ConvertUtf16QvStringToUtf8(const QvUtf16String* source,
                                                QvString* destination, QvString* error) {
    if (!source || !destination) {
        if (error)
            error->Set(kToUtf8NullArgument);
        return false;
    }
    destination->Set("");
    if (error)
        error->Set("");

    // The limit applies to the whole source, the result only reaches the first 0 unit.
    const char16_t* units = source->GetText();
    const int64_t count = source->GetUnitCount();
    int64_t textBytes = 0;
    int64_t totalBytes = 0;
    bool beforeZero = true;
    for (int64_t i = 0; i < count;) {
        if (units[i] == 0) {
            beforeZero = false;
            // Past the first 0 only the total matters, and it cannot exceed the limit when
            // every remaining unit takes the most bytes one unit can (3).
            if (totalBytes + 3 * (count - i) <= kMaxUtf8Bytes)
                break;
        }
        int taken;
        int bytes = Utf8SizeAt(units, count, i, &taken);
        totalBytes += bytes;
        if (beforeZero)
            textBytes += bytes;
        if (totalBytes > kMaxUtf8Bytes) {
            if (error)
                error->Set(kToUtf8OverLimit);
            return false;
        }
        i += taken;
    }

    if (textBytes == 0)
        return true;
    int32_t oldLength = destination->GetLength();
    if (!destination->EnsureCapacity(int32_t(oldLength + textBytes), true))
        return true;  // the destination dropped its buffer, as a failed append leaves it
    EncodeUtf16ToUtf8(units, count, destination->GetBuffer() + oldLength);
    destination->SetLength(int32_t(oldLength + textBytes));
    return true;
}
