#pragma once
// QvString: the program's byte string. UTF-8 text in a NUL-terminated buffer from the
// C allocator, with length and capacity. Never throws: a failed allocation leaves the
// string without a buffer (length 0, capacity 0), and every operation accepts that state.

#include <cstdarg>
#include <cstddef>
#include <cstdint>

class QvString {
public:
    QvString();
    explicit QvString(const char* text);
    explicit QvString(const QvString* other);
    QvString(const char* format, va_list args);
    // Moving hands the buffer over (Mid returns by value); copies are explicit (Set).
    QvString(QvString&& other) noexcept;
    QvString(const QvString&) = delete;
    QvString& operator=(const QvString&) = delete;
    QvString& operator=(QvString&&) = delete;
    virtual ~QvString();

    // Heap objects (NewMid, the string vectors) come from the same allocator as the
    // buffers; a failed allocation makes the new-expression yield null instead of throwing.
    static void* operator new(size_t size) noexcept;
    static void operator delete(void* block) noexcept;
    // Construction in storage the caller provides stays available.
    static void* operator new(size_t, void* place) noexcept { return place; }
    static void operator delete(void*, void*) noexcept {}

    int32_t GetLength() const { return length; }
    int32_t GetCapacity() const { return capacity; }
    // Never null: without a buffer this is a static empty string.
    const char* GetText() const;
    // The writable buffer, or null without one. Callers that write into it keep the
    // invariants themselves (see EnsureCapacity and SetLength).
    char* GetBuffer() { return buffer; }
    // Sets the length after a caller wrote into the buffer, and terminates the text.
    // Does nothing when newLength is negative or does not fit the buffer.
    void SetLength(int32_t newLength);

    // Assignment: exact growth (15 bytes, or n + 11).
    void Set(const char* text);
    void Set(const char* bytes, int32_t count);
    void Set(const QvString* other);
    void Format(const char* format, ...);

    // Appending: stepped growth.
    void Append(const char* text);
    void Append(const QvString* other);
    void AppendChar(char c);
    void AppendInt(int32_t value);
    void AppendInt64(int64_t value);
    void AppendFormat(const char* format, ...);

    void Insert(int32_t pos, const char* text);
    void Delete(int32_t pos, int32_t count);
    // Drops the leading and trailing bytes IsTrimmedByte names.
    void Trim();
    void MakeLower();

    QvString Mid(int32_t start, int32_t count) const;
    QvString* NewMid(int32_t start, int32_t count) const;
    // Refilling: makes this string, a heap copy NewMid made, what source->NewMid(start,
    // count) would make (same text, same capacity), in its own block, when that copy
    // fits the block and would not leave most of it unused. False, and nothing changes,
    // otherwise (an empty copy, another kind of string, a copy too large or too small).
    bool ReuseBlockForMid(const QvString* source, int32_t start, int32_t count);

    int32_t Find(int32_t start, const char* needle) const;
    int32_t Find(int32_t start, const QvString* needle) const;
    int32_t FindChar(int32_t start, char c) const;
    bool EndsWithNoCase(const char* suffix) const;

    int32_t ToInt(int32_t defaultValue) const;
    int64_t ToInt64(int64_t defaultValue) const;

    // Room for n characters and the terminator; stepped selects the append growth rule.
    bool EnsureCapacity(int32_t n, bool stepped);

    // -1, 0 or 1; null counts as the empty string; bytes compare as signed 8-bit values.
    static int Compare(const char* a, const char* b);
    // The program's case-insensitive rule: only A to Z fold (to a to z); every other byte
    // must be equal. The counted form compares length bytes of a with the terminated b.
    static char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }
    static bool EqualsNoCase(const char* a, const char* b);
    static bool EqualsNoCase(const char* a, int32_t length, const char* b);
    // The order of that rule: -1, 0 or 1 as Compare gives it for the folded texts (null
    // counts as the empty string, bytes compare as signed 8-bit values).
    static int CompareNoCase(const char* a, const char* b);
    // The bytes Trim drops, the program's one set of blanks: space, tab, CR and LF.
    static bool IsTrimmedByte(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
    // Copies source with its terminator; the caller guarantees room.
    static void CopyText(char* destination, const char* source);

    // Largest capacity the stepped growth ever asks for.
    static constexpr int32_t kMaxSteppedCapacity = 1073741804;
    // Size of the block every new string starts with.
    static constexpr int32_t kInitialCapacity = 15;

private:
    // A heap string whose buffer lies in the same block as the object, right after it
    // (NewMid: one allocation and one release per copy instead of two). The buffer
    // holds an exact copy of count bytes (NUL bytes included) at the capacity an
    // assignment gives. Growing moves the text to a block of its own; the first block
    // goes when the object is deleted.
    struct InObjectBlock {};
    QvString(char* ownBlockBuffer, int32_t blockCapacity, const char* bytes, int32_t count, InObjectBlock);
    // Frees the buffer unless it lies in the object's block.
    void ReleaseBuffer();

    void InitEmpty();
    bool GrowForAssignment(int32_t n);
    void DropBuffer();
    void AppendBytes(const char* bytes, int32_t count);
    // AppendBytes past the capacity; out of line, so that appending within the room left
    // sets up no stack frame.
    [[gnu::noinline]] void AppendGrowing(const char* bytes, int32_t count);
    bool PointsIntoBuffer(const char* p) const;

    int32_t length;
    int32_t capacity;
    char* buffer;
    bool bufferInObjectBlock = false;
};

