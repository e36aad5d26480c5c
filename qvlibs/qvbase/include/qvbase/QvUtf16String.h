#pragma once
// QvUtf16String: the wide counterpart of QvString, built just before a platform call that
// takes UTF-16 text, and the two conversions between UTF-8 (QvString) and UTF-16.
// Code units are char16_t on every platform; the Windows backend casts GetText() to
// const wchar_t*. Lengths and capacities are counted in bytes (twice the unit count).
// Never throws: a failed allocation leaves the string without a buffer (length 0,
// capacity 0), and every operation accepts that state.

#include <cstdint>

#include "qvbase/QvString.h"

class QvUtf16String {
public:
    QvUtf16String();
    QvUtf16String(const QvUtf16String&) = delete;
    QvUtf16String& operator=(const QvUtf16String&) = delete;
    virtual ~QvUtf16String();

    // Length of the text in bytes (always even), terminator excluded.
    int32_t GetLength() const { return length; }
    // Number of code units, terminator excluded.
    int32_t GetUnitCount() const { return length / 2; }
    // Size of the buffer in bytes, terminator included; 0 without a buffer.
    int32_t GetCapacity() const { return capacity; }
    // Never null: without a buffer this is a static empty wide string.
    const char16_t* GetText() const;
    // The writable buffer, or null without one. Callers that write into it first make
    // room with EnsureCapacity and then call SetLength.
    char16_t* GetBuffer() { return buffer; }
    // Sets the length (bytes, rounded down to even) after a caller wrote into the buffer,
    // and terminates the text. Does nothing when it is negative or does not fit.
    void SetLength(int32_t newLengthBytes);

    // Room for n bytes (rounded up to even) and the 2-byte terminator; false on failure.
    bool EnsureCapacity(int32_t n);

    // Exactly count units (NUL units included); null or count <= 0 empties the string.
    void Set(const char16_t* units, int32_t count);
    // Appends count units; null or count <= 0 appends nothing.
    void Append(const char16_t* units, int32_t count);
    // Replaces the text with the conversion of a UTF-8 C string (null leaves it empty).
    void SetFromUtf8(const char* utf8);
    // Appends the conversion of a UTF-8 C string (null appends nothing).
    void AppendUtf8(const char* utf8);

    // UTF-8 to UTF-16. Text that is not valid UTF-8, or that needs more than
    // kMaxUtf16Units units, is widened byte by byte (its first kMaxUtf16Units bytes) and
    // still gives true. False only for a null source or destination. error may be null.
    static bool ConvertUtf8QvStringToUtf16(const QvString* source, QvUtf16String* destination,
                                           QvString* error);
    // UTF-16 to UTF-8; unpaired surrogates are encoded as themselves. The result ends at
    // the first 0 unit. False for a null argument or when the whole source would need more
    // than kMaxUtf8Bytes bytes. error may be null.
    static bool ConvertUtf16QvStringToUtf8(const QvUtf16String* source, QvString* destination,
                                           QvString* error);

    // Size in bytes of the block every new string starts with (109 units and terminator).
    static const int32_t kInitialCapacity = 220;
    // Most code units a conversion to UTF-16 produces.
    static const int32_t kMaxUtf16Units = 2000000;
    // Most bytes a conversion to UTF-8 produces.
    static const int32_t kMaxUtf8Bytes = 4000000;

private:
    void DropBuffer();
    // Writes count units from unit index at on, keeping those before it (Set: 0, Append: the
    // end); the units may lie in this very buffer. Without room the string is left empty.
    void PutUnits(int32_t at, const char16_t* units, int32_t count);

    int32_t length;
    int32_t capacity;
    char16_t* buffer;
};
