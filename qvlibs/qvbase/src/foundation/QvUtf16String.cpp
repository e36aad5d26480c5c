// QvUtf16String and the UTF-8 <-> UTF-16 conversions used at every wide platform call.
// The decoder follows the classic reference converter with its leniencies (encoded
// surrogates pass, no lower bound after 0xF4); text it rejects is widened byte by byte so
// that a path or label with stray bytes still reaches the platform call.
//
// Both conversions run once over the source into a work area and then assign (or append)
// the finished result, so the destination is sized exactly as for any other text of that
// length. Short texts use a stack area; longer ones a heap block of the worst-case size
// (one unit per UTF-8 byte, three bytes per UTF-16 unit, capped just above the limits
// kMaxUtf16Units and kMaxUtf8Bytes). When that block cannot be had the conversion fails
// with the "could not malloc 4 MB tmp" text and leaves the destination empty. A wide
// destination that already has room for the worst case is decoded into directly: no
// result can change its capacity.
#include "qvbase/QvUtf16String.h"

#include <cstddef>
#include <cstring>

#include "platform/QvPlatformMemory.h"

#include "foundation/QvSimd.h"

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
const char kToUtf16NoWorkBlock[] =
    "ERROR QvUtf16String::ConvertUtf8QvStringToUtf16, could not malloc 4 MB tmp";
const char kToUtf8NoWorkBlock[] =
    "ERROR QvUtf16String::ConvertUtf16QvStringToUtf8, could not malloc 4 MB tmp";

// Texts up to these sizes convert through a stack area of 1500 bytes; longer ones through
// a heap block.
const int64_t kShortTextBytes = 750;
const int64_t kShortTextUnits = 500;

// Growth of EnsureCapacity: the smallest block, and the thresholds of the steps.
const int64_t kSmallestCapacity = 200;
const int64_t kFineStepsBelowCapacity = 1000;
const int64_t kMediumStepsBelowCapacity = 10000;

// The decoder accepts exactly what the classic reference converter accepts: a lead byte
// 0xC2..0xF4 followed by its continuation bytes (0x80..0xBF), where after 0xE0 the second
// byte is at least 0xA0, after 0xF0 at least 0x90, and after 0xF4 any byte up to 0x8F
// (no lower bound). Encoded surrogates (0xED 0xA0..0xBF) pass. Every accepted sequence
// stands for a value below 0x110000, so none needs a replacement.
inline bool IsContinuation(uint8_t byte) { return (byte & 0xC0) == 0x80; }

// Value of an accepted four-byte sequence, added up six bits apart and corrected as the
// reference converter does; this also gives the reference's value when a second byte
// below 0x80 follows 0xF4 (always in 0x10000..0x10FFFF, so always a surrogate pair).
inline uint32_t FourByteValue(const uint8_t* sequence) {
    return (uint32_t(sequence[0]) << 18) + (uint32_t(sequence[1]) << 12) + (uint32_t(sequence[2]) << 6) +
           uint32_t(sequence[3]) - 0x03C82080u;
}

// ASCII runs are handled a block at a time: 16 bytes with SSE2, else 8 in a machine word,
// when widening; 16 units when narrowing, with SSE2 or in four machine words.
const int64_t kUnitBlock = 16;
#if QV_USE_SSE2
const int64_t kAsciiBlock = 16;

// True when the 16 bytes at p are all below 0x80.
inline bool IsAsciiBlock(const uint8_t* p) {
    return _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))) == 0;
}

// Widens 16 ASCII bytes to 16 units.
inline void WidenAsciiBlock(const uint8_t* p, char16_t* out) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i zero = _mm_setzero_si128();
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(bytes, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi8(bytes, zero));
}

// Narrows the units at p, up to 16 of them, as long as they are in 0x01..0x7F (ASCII, and
// no terminating 0), and returns how many it narrowed; 16 bytes are written at out in any
// case (the caller keeps room for them). Packing saturates: a unit above 0xFF becomes 0xFF
// and one from 0x8000 up becomes 0, so the bytes show every unit that is not ASCII as a
// high bit or a zero, and the first such byte is where the ASCII ends.
inline int64_t NarrowAsciiPrefix(const char16_t* p, uint8_t* out) {
    const __m128i packed = _mm_packus_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
                                            _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), packed);
    const unsigned notAscii = unsigned(_mm_movemask_epi8(packed)) |
                              unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(packed, _mm_setzero_si128())));
    return notAscii ? __builtin_ctz(notAscii) : 16;
}
#else
const int64_t kAsciiBlock = 8;

inline bool IsAsciiBlock(const uint8_t* p) {
    uint64_t block;
    std::memcpy(&block, p, sizeof block);
    return (block & 0x8080808080808080ull) == 0;
}

inline void WidenAsciiBlock(const uint8_t* p, char16_t* out) {
    for (int k = 0; k < 8; ++k)
        out[k] = char16_t(p[k]);
}

// The word tricks below read units from a machine word in memory order.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the portable narrowing assumes little-endian words");

const uint64_t kEachUnit = 0x0001000100010001ull;

// True when each of the four units in the word is in 0x01..0x7F: no bit above the low
// seven is set, and subtracting 1 from every unit borrows (sets a unit's top bit) only
// where a unit is 0.
inline bool IsAsciiWord(uint64_t word) {
    return (word & (0xFF80 * kEachUnit)) == 0 && ((word - kEachUnit) & (0x8000 * kEachUnit)) == 0;
}

// The low bytes of the four units of an ASCII word, in order.
inline uint32_t PackAsciiWord(uint64_t word) {
    word = (word | (word >> 8)) & 0x0000FFFF0000FFFFull;
    return uint32_t(word | (word >> 16));
}

// As the SSE2 form, a word (four units) at a time; only the bytes narrowed are written.
inline int64_t NarrowAsciiPrefix(const char16_t* p, uint8_t* out) {
    uint64_t words[4];
    std::memcpy(words, p, sizeof words);
    int64_t n = 0;
    for (uint64_t word : words) {
        if (!IsAsciiWord(word))
            break;
        const uint32_t bytes = PackAsciiWord(word);
        std::memcpy(out + n, &bytes, sizeof bytes);
        n += 4;
    }
    while (n < kUnitBlock && p[n] >= 0x01 && p[n] <= 0x7F) {
        out[n] = uint8_t(p[n]);
        ++n;
    }
    return n;
}
#endif

// Units the decoder produces for the whole source, written to out, or -1 when it stops
// early: a truncated or illegal sequence, or more than kMaxUtf16Units units. out has room
// for one unit per source byte, or for kMaxUtf16Units + kDecodeOvershoot units when the
// source is longer than that: the limit is checked once per ASCII block and once per
// stretch of characters, so up to kDecodeOvershoot units may be written beyond it first.
const int64_t kDecodeOvershoot = 4 * kAsciiBlock + 4;

int64_t DecodeUtf8(const uint8_t* source, int64_t size, char16_t* out) {
    const int64_t limit = QvUtf16String::kMaxUtf16Units;
    int64_t units = 0;
    int64_t i = 0;
    while (i < size) {
        // Each ASCII byte is one unit, so an ASCII run needs no decoding.
        while (i + kAsciiBlock <= size && units <= limit && IsAsciiBlock(source + i)) {
            WidenAsciiBlock(source + i, out + units);
            i += kAsciiBlock;
            units += kAsciiBlock;
        }
        if (units > limit)
            return -1;  // the output area would be full before the end
        // Then character by character for a stretch before looking for a run again.
        const int64_t stop = i + 4 * kAsciiBlock < size ? i + 4 * kAsciiBlock : size;
        while (i < stop) {
            const uint32_t lead = source[i];
            if (lead < 0x80) {
                out[units] = char16_t(lead);
                ++i;
                ++units;
            } else if (lead < 0xE0) {
                if (lead < 0xC2 || i + 1 >= size || !IsContinuation(source[i + 1]))
                    return -1;  // a continuation byte or an overlong lead; a cut sequence
                out[units] = char16_t(((lead & 0x1F) << 6) | (source[i + 1] & 0x3F));
                i += 2;
                ++units;
            } else if (lead < 0xF0) {
                if (i + 2 >= size)
                    return -1;
                const uint32_t second = source[i + 1];
                if (!IsContinuation(uint8_t(second)) || (lead == 0xE0 && second < 0xA0) ||
                    !IsContinuation(source[i + 2]))
                    return -1;
                // Encoded surrogates come out unpaired, as they are.
                out[units] = char16_t(((lead & 0x0F) << 12) | ((second & 0x3F) << 6) | (source[i + 2] & 0x3F));
                i += 3;
                ++units;
                // Text in one script (CJK above all) runs on in three-byte sequences whose
                // lead needs no check beyond the continuation bytes (0xE1..0xEF).
                while (i + 2 < stop && source[i] >= 0xE1 && source[i] <= 0xEF && IsContinuation(source[i + 1]) &&
                       IsContinuation(source[i + 2])) {
                    out[units] = char16_t(((source[i] & 0x0Fu) << 12) | ((source[i + 1] & 0x3Fu) << 6) |
                                          (source[i + 2] & 0x3F));
                    i += 3;
                    ++units;
                }
            } else if (lead <= 0xF4) {
                if (i + 3 >= size)
                    return -1;
                const uint32_t second = source[i + 1];
                // After 0xF4 the second byte has an upper bound only.
                const bool secondFits = lead == 0xF4 ? second <= 0x8F
                                                     : IsContinuation(uint8_t(second)) && (lead != 0xF0 || second >= 0x90);
                if (!secondFits || !IsContinuation(source[i + 2]) || !IsContinuation(source[i + 3]))
                    return -1;
                const uint32_t value = FourByteValue(source + i) - 0x10000;
                out[units] = char16_t(0xD800 + (value >> 10));
                out[units + 1] = char16_t(0xDC00 + (value & 0x3FF));
                i += 4;
                units += 2;
            } else {
                return -1;
            }
        }
    }
    return units <= limit ? units : -1;
}

inline bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
inline bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
inline bool IsSurrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

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

// Room the encoder may use beyond kMaxUtf8Bytes before it notices the limit (kBounded).
const int64_t kEncodeOvershoot = kUnitBlock + 8;

// The three bytes of a unit from 0x800 up that stands for itself.
inline uint8_t* PutThreeBytes(uint8_t* out, uint32_t unit) {
    out[0] = uint8_t(0xE0 | (unit >> 12));
    out[1] = uint8_t(0x80 | ((unit >> 6) & 0x3F));
    out[2] = uint8_t(0x80 | (unit & 0x3F));
    return out + 3;
}

// The two bytes of a unit from 0x80 to 0x7FF.
inline uint8_t* PutTwoBytes(uint8_t* out, uint32_t unit) {
    out[0] = uint8_t(0xC0 | (unit >> 6));
    out[1] = uint8_t(0x80 | (unit & 0x3F));
    return out + 2;
}

// Encodes units up to (not including) the first 0 unit or the end into out and returns
// the number of bytes written; *stop receives the index of that 0 unit (or count). With
// kBounded the encoder gives up with -1 as soon as more than kMaxUtf8Bytes bytes are
// written, and out has room for kMaxUtf8Bytes + kEncodeOvershoot bytes; otherwise out has
// room for three bytes per unit, which every source of up to kMaxUtf8Bytes / 3 units fits.
// Text in one script comes in runs of units of one size, so after a unit of two or three
// bytes the units of the same size that follow go in a loop of their own.
template <bool kBounded>
int64_t EncodeUtf16ToUtf8(const char16_t* units, int64_t count, char* outText, int64_t* stop) {
    uint8_t* const start = reinterpret_cast<uint8_t*>(outText);
    uint8_t* out = start;
    const int64_t limit = QvUtf16String::kMaxUtf8Bytes;
    int64_t i = 0;
    for (;;) {
        while (i + kUnitBlock <= count && (!kBounded || out - start <= limit)) {
            const int64_t narrowed = NarrowAsciiPrefix(units + i, out);
            i += narrowed;
            out += narrowed;
            if (narrowed < kUnitBlock)
                break;
        }
        if (kBounded && out - start > limit)
            return -1;
        if (i >= count || units[i] == 0) {
            *stop = i;
            return int64_t(out - start);
        }
        uint32_t value = units[i];
        if (value < 0x80) {
            *out++ = uint8_t(value);
            ++i;
        } else if (value < 0x800) {
            out = PutTwoBytes(out, value);
            ++i;
            while (i < count && (!kBounded || out - start <= limit) && units[i] >= 0x80 && units[i] < 0x800) {
                out = PutTwoBytes(out, units[i]);
                ++i;
            }
        } else if (IsHighSurrogate(char16_t(value)) && i + 1 < count && IsLowSurrogate(units[i + 1])) {
            value = 0x10000 + ((value - 0xD800) << 10) + (uint32_t(units[i + 1]) - 0xDC00);
            out[0] = uint8_t(0xF0 | (value >> 18));
            out[1] = uint8_t(0x80 | ((value >> 12) & 0x3F));
            out[2] = uint8_t(0x80 | ((value >> 6) & 0x3F));
            out[3] = uint8_t(0x80 | (value & 0x3F));
            out += 4;
            i += 2;
        } else {
            // Any other unit, an unpaired surrogate included, stands for itself.
            out = PutThreeBytes(out, value);
            ++i;
            while (i < count && (!kBounded || out - start <= limit) && units[i] >= 0x800 && !IsSurrogate(units[i])) {
                out = PutThreeBytes(out, units[i]);
                ++i;
            }
        }
    }
}

// True when bytes already produced plus the UTF-8 size of units[from, count) stay within
// kMaxUtf8Bytes: the limit counts the whole source, also what follows a 0 unit.
bool RestFitsUtf8Limit(const char16_t* units, int64_t count, int64_t from, int64_t bytes) {
    const int64_t limit = QvUtf16String::kMaxUtf8Bytes;
    for (int64_t i = from; i < count;) {
        // Done once every remaining unit fits even at the most bytes a unit takes (3).
        if (bytes + 3 * (count - i) <= limit)
            return true;
        int taken;
        bytes += Utf8SizeAt(units, count, i, &taken);
        if (bytes > limit)
            return false;
        i += taken;
    }
    return true;
}

// Converts size bytes of UTF-8 and appends the units to destination (which the callers
// have emptied where the result replaces the text). Sets error on the fallback. False
// only when the work block of a long text cannot be had.
bool AppendConvertedUtf8(QvUtf16String* destination, const char* text, int64_t size,
                         QvString* error) {
    const uint8_t* source = reinterpret_cast<const uint8_t*>(text);
    char16_t area[kShortTextBytes];
    char16_t* work = area;
    bool ownBlock = false;
    if (size > kShortTextBytes) {
        const int64_t most = QvUtf16String::kMaxUtf16Units + kDecodeOvershoot;
        const int64_t workUnits = size < most ? size : most;
        // A destination that already has room for the longest possible result keeps its
        // capacity whatever the result is, so it can be written directly.
        if (destination->GetBuffer() &&
            destination->GetLength() + 2 * workUnits + 2 <= destination->GetCapacity()) {
            work = destination->GetBuffer() + destination->GetLength() / 2;
        } else {
            work = static_cast<char16_t*>(QvPlatform::Malloc(size_t(workUnits) * 2));
            ownBlock = true;
        }
        if (!work) {
            if (error)
                error->Set(kToUtf16NoWorkBlock);
            return false;
        }
    }
    int64_t units = DecodeUtf8(source, size, work);
    const bool widen = units < 0;
    if (widen) {
        units = size < QvUtf16String::kMaxUtf16Units ? size : QvUtf16String::kMaxUtf16Units;
        if (error)
            error->Set(kToUtf16InvalidSequence);
    }
    if (units > 0) {
        int64_t oldLength = destination->GetLength();
        int64_t newLength = oldLength + 2 * units;
        // A failed reallocation leaves the destination without a buffer; a length the
        // capacity field cannot hold leaves it empty.
        if (newLength > INT32_MAX - 2 || !destination->EnsureCapacity(int32_t(newLength))) {
            if (destination->GetBuffer())
                destination->SetLength(0);
        } else {
            char16_t* out = destination->GetBuffer() + oldLength / 2;
            if (widen) {
                for (int64_t i = 0; i < units; ++i)
                    out[i] = char16_t(source[i]);  // each byte read as Latin-1
            } else if (out != work) {
                std::memcpy(out, work, size_t(units) * 2);
            }
            destination->SetLength(int32_t(newLength));
        }
    }
    if (ownBlock)
        QvPlatform::Free(work);
    return true;
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
    // A string with nothing to keep gets a new block: a reallocation may move and copy
    // the old bytes on any heap (and on the native build glibc's takes a slow path).
    const bool empty = !buffer || length == 0;
    void* grown = empty ? QvPlatform::Malloc(size_t(newCapacity)) : QvPlatform::Realloc(buffer, size_t(newCapacity));
    if (!grown) {
        DropBuffer();
        return false;
    }
    if (empty) {
        QvPlatform::Free(buffer);
        static_cast<char16_t*>(grown)[0] = 0;
    }
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
    PutUnits(0, units, count);
}

void QvUtf16String::Append(const char16_t* units, int32_t count) {
    if (units && count > 0)
        PutUnits(length / 2, units, count);
}

void QvUtf16String::PutUnits(int32_t at, const char16_t* units, int32_t count) {
    // Growing can move the buffer the units lie in.
    bool inside = buffer && units >= buffer && units < buffer + capacity / 2;
    ptrdiff_t offset = inside ? units - buffer : 0;
    int64_t newLength = 2 * (int64_t(at) + int64_t(count));
    if (newLength > INT32_MAX - 2 || !EnsureCapacity(int32_t(newLength))) {
        if (buffer) {
            length = 0;
            buffer[0] = 0;
        }
        return;
    }
    if (inside)
        units = buffer + offset;
    std::memmove(buffer + at, units, size_t(count) * 2);
    length = int32_t(newLength);
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
    return AppendConvertedUtf8(destination, source->GetText(), source->GetLength(), error);
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
    char area[3 * kShortTextUnits];
    char* work = area;
    const bool bounded = 3 * count > kMaxUtf8Bytes;
    if (count > kShortTextUnits) {
        const int64_t most = kMaxUtf8Bytes + kEncodeOvershoot;
        work = static_cast<char*>(QvPlatform::Malloc(size_t(bounded ? most : 3 * count)));
        if (!work) {
            if (error)
                error->Set(kToUtf8NoWorkBlock);
            return false;
        }
    }
    int64_t stop = count;
    int64_t textBytes = bounded ? EncodeUtf16ToUtf8<true>(units, count, work, &stop)
                                : EncodeUtf16ToUtf8<false>(units, count, work, &stop);
    bool fits = textBytes >= 0 && (!bounded || RestFitsUtf8Limit(units, count, stop, textBytes));
    if (!fits) {
        if (error)
            error->Set(kToUtf8OverLimit);
    } else if (textBytes > 0) {
        int32_t oldLength = destination->GetLength();
        // A failed growth drops the destination's buffer, as a failed append leaves it.
        if (destination->EnsureCapacity(int32_t(oldLength + textBytes), true)) {
            std::memcpy(destination->GetBuffer() + oldLength, work, size_t(textBytes));
            destination->SetLength(int32_t(oldLength + textBytes));
        }
    }
    if (work != area)
        QvPlatform::Free(work);
    return fits;
}
