#include "qvbase/QvString.h"
// The byte string behind every piece of text in the program. Assignments size the buffer to
// fit; appends grow it in steps that widen with the size of the buffer, so that text built
// piece by piece is reallocated rarely. A failed allocation leaves the string without a
// buffer, which every operation accepts.

#include <cstring>

#include "platform/QvPlatformFormat.h"
#include "platform/QvPlatformMemory.h"

namespace {
// What GetText yields without a buffer: callers pass the text straight to C functions.
const char kEmptyText[1] = {0};

// Room left over by an assignment that outgrows the buffer.
const int32_t kAssignmentSlack = 11;
// A block is reused for a copy that leaves at most a quarter of it, and this many bytes,
// unused.
const int32_t kReuseSlack = 64;
// AppendChar asks for room only when fewer than this many bytes remain free.
const int32_t kAppendCharReserve = 6;
// A stepped request fails when this many bytes beyond the length do not fit the maximum.
const int32_t kSteppedHeadroom = 6;

// New capacity for stepped growth to n characters, chosen by the current capacity.
int64_t SteppedCapacity(int32_t currentCapacity, int32_t n) {
    if (currentCapacity < 1000)
        return 35 + 20 * ((static_cast<int64_t>(n) - 14) / 20);
    if (currentCapacity < 10000)
        return static_cast<int64_t>(n) + 1001;
    if (currentCapacity < 400000)
        return static_cast<int64_t>(n) + 100001;
    if (currentCapacity < 20000000)
        return static_cast<int64_t>(n) + 10000001;
    if (currentCapacity < 60000000)
        return static_cast<int64_t>(n) + 20000001;
    return static_cast<int64_t>(n) + 100000001;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The capacity an assignment of count bytes gives a new string: 15, or count + 11.
int32_t ExactCopyCapacity(int32_t count) {
    return count + 1 <= QvString::kInitialCapacity ? QvString::kInitialCapacity : count + kAssignmentSlack;
}

// The bytes Mid(start, count) takes from a text of `length` bytes: false when none (an
// empty text, a count below 1, a start at or past the end); a negative start counts as 0.
bool MidExtent(int32_t length, int32_t start, int32_t count, int32_t* from, int32_t* copied) {
    if (start < 0)
        start = 0;
    if (length < 1 || count < 1 || start >= length)
        return false;
    *from = start;
    *copied = count < length - start ? count : length - start;
    return true;
}

// The block a new string gets for an exact copy of count bytes, at the capacity an
// assignment of that length gives, with the bytes and the terminator in place; null when
// it cannot be had or count is out of range. Builds in one allocation what default
// construction followed by Set builds in two.
char* NewExactCopy(const char* bytes, int32_t count, int32_t* capacity) {
    if (count < 0 || count > INT32_MAX - kAssignmentSlack)
        return nullptr;
    const int32_t size = ExactCopyCapacity(count);
    char* block = static_cast<char*>(QvPlatform::Malloc(static_cast<size_t>(size)));
    if (!block)
        return nullptr;
    memcpy(block, bytes, static_cast<size_t>(count));
    block[count] = 0;
    *capacity = size;
    return block;
}

}  // namespace

void* QvString::operator new(size_t size) noexcept { return QvPlatform::Malloc(size); }

void QvString::operator delete(void* block) noexcept { QvPlatform::Free(block); }

QvString::QvString() { InitEmpty(); }

// Construction with text gives what default construction followed by Set gives, with the
// block allocated once at its final size.
QvString::QvString(const char* text) : length(0), capacity(0), buffer(nullptr) {
    const size_t textLength = text ? strlen(text) : 0;
    if (textLength > static_cast<size_t>(INT32_MAX - kAssignmentSlack)) {
        InitEmpty();
        Set(text);
        return;
    }
    buffer = NewExactCopy(text ? text : kEmptyText, static_cast<int32_t>(textLength), &capacity);
    if (buffer)
        length = static_cast<int32_t>(textLength);
}

QvString::QvString(const QvString* other) : length(0), capacity(0), buffer(nullptr) {
    const char* text = other ? other->GetText() : kEmptyText;
    const int32_t count = other ? other->length : 0;
    buffer = NewExactCopy(text, count, &capacity);
    if (buffer)
        length = count;
}

QvString::QvString(char* ownBlockBuffer, int32_t blockCapacity, const char* bytes, int32_t count, InObjectBlock)
    : length(count), capacity(blockCapacity), buffer(ownBlockBuffer), bufferInObjectBlock(true) {
    memcpy(buffer, bytes, static_cast<size_t>(count));
    buffer[count] = 0;
}

QvString::QvString(const char* format, va_list args) {
    InitEmpty();
    if (!format)
        return;
    // Measure on a copy: the argument list can be walked only once.
    va_list measureArgs;
    va_copy(measureArgs, args);
    int needed = QvPlatform::FormatText(nullptr, 0, format, measureArgs);
    va_end(measureArgs);
    if (needed < 0)
        return;
    size_t size = static_cast<size_t>(needed) + 1;
    char* formatted = static_cast<char*>(QvPlatform::Malloc(size));
    if (!formatted)
        return;
    int written = QvPlatform::FormatText(formatted, size, format, args);
    if (written >= 0)
        Set(formatted, written < needed ? written : needed);
    QvPlatform::Free(formatted);
}

QvString::QvString(QvString&& other) noexcept
    : length(other.length), capacity(other.capacity), buffer(other.buffer) {
    if (other.bufferInObjectBlock) {
        // That buffer goes with the other object's block: copy it instead.
        buffer = NewExactCopy(other.buffer, other.length, &capacity);
        if (!buffer) {
            length = 0;
            capacity = 0;
        }
        other.bufferInObjectBlock = false;
    }
    // The source is left without a buffer, a state every operation accepts.
    other.length = 0;
    other.capacity = 0;
    other.buffer = nullptr;
}

QvString::~QvString() { DropBuffer(); }

void QvString::InitEmpty() {
    length = 0;
    capacity = 0;
    buffer = static_cast<char*>(QvPlatform::Malloc(kInitialCapacity));
    if (!buffer)
        return;
    capacity = kInitialCapacity;
    buffer[0] = 0;
}

void QvString::ReleaseBuffer() {
    if (!bufferInObjectBlock)
        QvPlatform::Free(buffer);
    bufferInObjectBlock = false;
}

void QvString::DropBuffer() {
    ReleaseBuffer();
    buffer = nullptr;
    length = 0;
    capacity = 0;
}

bool QvString::PointsIntoBuffer(const char* p) const {
    // Compared as integers: relational comparison of unrelated pointers is not defined.
    uintptr_t address = reinterpret_cast<uintptr_t>(p);
    uintptr_t start = reinterpret_cast<uintptr_t>(buffer);
    return buffer && address >= start && address < start + static_cast<uintptr_t>(capacity);
}

const char* QvString::GetText() const { return buffer ? buffer : kEmptyText; }

void QvString::SetLength(int32_t newLength) {
    if (newLength < 0 || !buffer || newLength >= capacity)
        return;
    length = newLength;
    buffer[length] = 0;
}

bool QvString::EnsureCapacity(int32_t n, bool stepped) {
    if (n < 0)
        return false;
    if (static_cast<int64_t>(n) + 1 <= capacity)
        return true;

    int64_t newCapacity;
    if (static_cast<int64_t>(n) + 1 <= kInitialCapacity) {
        newCapacity = kInitialCapacity;
    } else if (!stepped) {
        newCapacity = static_cast<int64_t>(n) + kAssignmentSlack;
        if (newCapacity > INT32_MAX)
            return false;
    } else {
        newCapacity = SteppedCapacity(capacity, n);
        if (newCapacity > kMaxSteppedCapacity) {
            newCapacity = kMaxSteppedCapacity;
            if (static_cast<int64_t>(n) + kSteppedHeadroom > kMaxSteppedCapacity)
                return false;
        }
    }

    char* grown;
    if (bufferInObjectBlock || length == 0) {
        // A block of its own: the object's block cannot grow, and with nothing to keep a
        // new block never copies, where a reallocation may move the old bytes on any
        // heap (on the native build, glibc's realloc also takes a slow path for small
        // blocks, which is where this was measured).
        grown = static_cast<char*>(QvPlatform::Malloc(static_cast<size_t>(newCapacity)));
        if (grown) {
            if (length > 0)
                memcpy(grown, buffer, static_cast<size_t>(length));
            ReleaseBuffer();
        }
    } else {
        grown = static_cast<char*>(QvPlatform::Realloc(buffer, static_cast<size_t>(newCapacity)));
    }
    if (!grown) {
        // The content is lost with the old block: the string is left without a buffer.
        DropBuffer();
        return false;
    }
    buffer = grown;
    capacity = static_cast<int32_t>(newCapacity);
    buffer[length] = 0;
    return true;
}

bool QvString::GrowForAssignment(int32_t n) { return EnsureCapacity(n, false); }

void QvString::Set(const char* text) {
    if (!text) {
        Set(kEmptyText, 0);
        return;
    }
    size_t textLength = strlen(text);
    if (textLength > static_cast<size_t>(INT32_MAX))
        return;
    Set(text, static_cast<int32_t>(textLength));
}

void QvString::Set(const char* bytes, int32_t count) {
    if (!bytes || count < 0) {
        bytes = kEmptyText;
        count = 0;
    }
    // The source may lie inside this very buffer, which growing can move.
    bool aliased = PointsIntoBuffer(bytes);
    ptrdiff_t offset = aliased ? bytes - buffer : 0;
    if (!GrowForAssignment(count))
        return;
    if (aliased)
        bytes = buffer + offset;
    memmove(buffer, bytes, static_cast<size_t>(count));
    length = count;
    buffer[length] = 0;
}

void QvString::Set(const QvString* other) {
    if (other == this)
        return;
    if (!other) {
        Set(kEmptyText, 0);
        return;
    }
    Set(other->GetText(), other->length);
}

void QvString::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    QvString formatted(format, args);
    va_end(args);
    Set(&formatted);
}

void QvString::AppendBytes(const char* bytes, int32_t count) {
    // Room already there (the usual case): nothing moves, so even bytes from inside this
    // buffer stay where they are.
    if (static_cast<int64_t>(length) + count < capacity) {
        memmove(buffer + length, bytes, static_cast<size_t>(count));
        length += count;
        buffer[length] = 0;
        return;
    }
    AppendGrowing(bytes, count);
}

void QvString::AppendGrowing(const char* bytes, int32_t count) {
    int64_t newLength = static_cast<int64_t>(length) + count;
    if (newLength > INT32_MAX)
        return;
    bool aliased = PointsIntoBuffer(bytes);
    ptrdiff_t offset = aliased ? bytes - buffer : 0;
    if (!EnsureCapacity(static_cast<int32_t>(newLength), true))
        return;
    if (aliased)
        bytes = buffer + offset;
    memmove(buffer + length, bytes, static_cast<size_t>(count));
    length = static_cast<int32_t>(newLength);
    buffer[length] = 0;
}

// The most frequent call of the program: text that fits in the room left is measured,
// terminated and copied without a further call. The copy comes last, so that it can be
// the function's final call; that order is safe unless the text lies in the unused room
// past this string's terminator, where the new terminator could cut it.
void QvString::Append(const char* text) {
    if (!text)
        return;
    const size_t count = strlen(text);
    if (count < static_cast<size_t>(capacity - length)) {
        char* end = buffer + length;
        if (text > end && text < buffer + capacity) {
            memmove(end, text, count);
            length += static_cast<int32_t>(count);
            buffer[length] = 0;
            return;
        }
        length += static_cast<int32_t>(count);
        end[count] = 0;
        memcpy(end, text, count);
        return;
    }
    if (count <= static_cast<size_t>(INT32_MAX))
        AppendGrowing(text, static_cast<int32_t>(count));
}

void QvString::Append(const QvString* other) {
    if (!other)
        return;
    AppendBytes(other->GetText(), other->length);
}

void QvString::AppendChar(char c) {
    if (length + kAppendCharReserve - 1 >= capacity && !EnsureCapacity(length + 1, true))
        return;
    buffer[length++] = c;
    buffer[length] = 0;
}

void QvString::AppendInt(int32_t value) {
    char digits[16];
    int written = QvPlatform::FormatTextInto(digits, sizeof digits, "%d", value);
    if (written > 0)
        AppendBytes(digits, written);
}

void QvString::AppendInt64(int64_t value) {
    char digits[32];
    int written = QvPlatform::FormatTextInto(digits, sizeof digits, "%I64d", value);
    if (written > 0)
        AppendBytes(digits, written);
}

void QvString::AppendFormat(const char* format, ...) {
    va_list args;
    va_start(args, format);
    QvString formatted(format, args);
    va_end(args);
    Append(&formatted);
}

void QvString::Insert(int32_t pos, const char* text) {
    if (!text || !text[0] || pos < 0)
        return;
    if (length < 1) {
        if (pos == 0)
            Set(text);
        return;
    }
    if (pos > length)
        return;
    if (pos == length) {
        Append(text);
        return;
    }
    size_t insertLength = strlen(text);
    if (static_cast<int64_t>(length) + static_cast<int64_t>(insertLength) > INT32_MAX)
        return;
    int32_t count = static_cast<int32_t>(insertLength);
    if (PointsIntoBuffer(text)) {
        // Inserting part of this string into itself: work from a copy.
        QvString copy(text);
        if (copy.length == count)
            Insert(pos, copy.buffer);
        return;
    }
    if (!EnsureCapacity(length + count, true))
        return;
    memmove(buffer + pos + count, buffer + pos, static_cast<size_t>(length - pos) + 1);
    memcpy(buffer + pos, text, static_cast<size_t>(count));
    length += count;
}

void QvString::Delete(int32_t pos, int32_t count) {
    if (length < 1 || pos < 0 || pos >= length || count < 1)
        return;
    int32_t removed = count < length - pos ? count : length - pos;
    memmove(buffer + pos, buffer + pos + removed, static_cast<size_t>(length - pos - removed) + 1);
    length -= removed;
}

void QvString::Trim() {
    if (length < 1)
        return;
    int32_t leading = 0;
    while (leading < length && IsTrimmedByte(buffer[leading]))
        ++leading;
    if (leading > 0)
        Delete(0, leading);
    int32_t end = length;
    while (end > 0 && IsTrimmedByte(buffer[end - 1]))
        --end;
    if (end < length) {
        length = end;
        buffer[length] = 0;
    }
}

void QvString::MakeLower() {
    for (int32_t i = 0; i < length; ++i)
        buffer[i] = QvString::FoldAscii(buffer[i]);
}

QvString QvString::Mid(int32_t start, int32_t count) const {
    QvString part;
    int32_t from, copied;
    if (MidExtent(length, start, count, &from, &copied))
        part.Set(buffer + from, copied);
    return part;
}

QvString* QvString::NewMid(int32_t start, int32_t count) const {
    int32_t from, copied;
    if (!MidExtent(length, start, count, &from, &copied))
        return new QvString();
    // The object and its buffer in one block.
    if (copied > INT32_MAX - kAssignmentSlack)
        return nullptr;
    const int32_t blockCapacity = ExactCopyCapacity(copied);
    if (static_cast<size_t>(blockCapacity) > SIZE_MAX - sizeof(QvString))
        return nullptr;
    void* block = QvPlatform::Malloc(sizeof(QvString) + static_cast<size_t>(blockCapacity));
    if (!block)
        return nullptr;
    char* text = static_cast<char*>(block) + sizeof(QvString);
    return new (block) QvString(text, blockCapacity, buffer + from, copied, InObjectBlock());
}

bool QvString::ReuseBlockForMid(const QvString* source, int32_t start, int32_t count) {
    // While the buffer lies in the object's block, capacity is at most the room that block
    // has behind the object (growing moves the text out; nothing shrinks the capacity).
    int32_t from, copied;
    if (!bufferInObjectBlock || !source || source == this ||
        !MidExtent(source->length, start, count, &from, &copied) || copied > INT32_MAX - kAssignmentSlack)
        return false;
    const int32_t needed = ExactCopyCapacity(copied);
    if (needed > capacity || capacity - needed > needed / 4 + kReuseSlack)
        return false;
    memcpy(buffer, source->buffer + from, static_cast<size_t>(copied));
    buffer[copied] = 0;
    length = copied;
    capacity = needed;
    return true;
}

int32_t QvString::Find(int32_t start, const char* needle) const {
    if (!buffer || length < 1 || !needle || !needle[0] || start < 0 || start > length - 1)
        return -1;
    for (int32_t i = start; buffer[i]; ++i) {
        if (buffer[i] != needle[0])
            continue;
        int32_t j = 1;
        while (needle[j] && buffer[i + j] == needle[j])
            ++j;
        if (!needle[j])
            return i;
        if (!buffer[i + j])
            return -1;  // the text ends inside a partial match: no later match can fit
    }
    return -1;
}

int32_t QvString::Find(int32_t start, const QvString* needle) const {
    if (!needle || needle->length < 1)
        return -1;
    return Find(start, needle->GetText());
}

int32_t QvString::FindChar(int32_t start, char c) const {
    if (!buffer || start < 0 || start > length - 1)
        return -1;
    for (int32_t i = start;; ++i) {
        if (buffer[i] == c)
            return i;
        if (!buffer[i])
            return -1;
    }
}

bool QvString::EndsWithNoCase(const char* suffix) const {
    if (!suffix || !suffix[0])
        return true;
    size_t suffixLength = strlen(suffix);
    if (suffixLength > static_cast<size_t>(length))
        return false;
    const char* tail = buffer + (length - static_cast<int32_t>(suffixLength));
    for (size_t i = 0; i < suffixLength; ++i) {
        if (QvString::FoldAscii(tail[i]) != QvString::FoldAscii(suffix[i]))
            return false;
    }
    return true;
}

int64_t QvString::ToInt64(int64_t defaultValue) const {
    if (!buffer || length < 1)
        return defaultValue;
    int32_t i = 0;
    bool negative = false;
    if (buffer[0] == '+' || buffer[0] == '-') {
        if (!IsDigit(buffer[1]))
            return defaultValue;
        negative = buffer[0] == '-';
        i = 1;
    } else if (!IsDigit(buffer[0])) {
        return defaultValue;
    }
    // Unsigned arithmetic: an over-long run of digits wraps around instead of overflowing.
    uint64_t value = 0;
    for (; IsDigit(buffer[i]); ++i)
        value = value * 10 + static_cast<uint64_t>(buffer[i] - '0');
    if (negative)
        value = 0 - value;
    return static_cast<int64_t>(value);
}

int32_t QvString::ToInt(int32_t defaultValue) const {
    uint64_t value = static_cast<uint64_t>(ToInt64(defaultValue));
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

int QvString::Compare(const char* a, const char* b) {
    if (!a)
        return (!b || !b[0]) ? 0 : -1;
    if (!b)
        return a[0] ? 1 : 0;
    for (size_t i = 0;; ++i) {
        signed char x = static_cast<signed char>(a[i]);
        signed char y = static_cast<signed char>(b[i]);
        if (x < y)
            return -1;
        if (x > y)
            return 1;
        if (!x)
            return 0;
    }
}

void QvString::CopyText(char* destination, const char* source) {
    if (!destination)
        return;
    if (!source) {
        destination[0] = 0;
        return;
    }
    memmove(destination, source, strlen(source) + 1);
}

bool QvString::EqualsNoCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        if (FoldAscii(*a) != FoldAscii(*b))
            return false;
        if (*a == '\0')
            return true;
    }
}

int QvString::CompareNoCase(const char* a, const char* b) {
    if (!a)
        a = kEmptyText;
    if (!b)
        b = kEmptyText;
    for (;; ++a, ++b) {
        signed char x = static_cast<signed char>(FoldAscii(*a));
        signed char y = static_cast<signed char>(FoldAscii(*b));
        if (x != y)
            return x < y ? -1 : 1;
        if (x == 0)
            return 0;
    }
}

bool QvString::EqualsNoCase(const char* a, int32_t length, const char* b) {
    for (int32_t i = 0; i < length; ++i) {
        if (b[i] == '\0' || FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    }
    return b[length] == '\0';
}
