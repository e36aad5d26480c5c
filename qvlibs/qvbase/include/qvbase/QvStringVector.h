#pragma once
// QvStringVector: an owning array of heap QvString objects (XML snippets, comma-separated
// setting values, folder lists). Items are destroyed through their virtual destructor.
// The slot array comes from the C allocator and grows by reallocation; nothing throws.

#include <cstdint>

class QvString;

class QvStringVector {
public:
    QvStringVector();
    QvStringVector(const QvStringVector&) = delete;
    QvStringVector& operator=(const QvStringVector&) = delete;
    virtual ~QvStringVector();

    // Destroys every item and empties the vector; the slot array stays allocated.
    void Clear();
    // True when more than n slots exist afterwards (one spare slot beyond n is kept).
    // A failed reallocation leaves the vector without slots, items destroyed.
    bool EnsureCapacity(int32_t n);
    // Takes ownership of item and returns true; returns false, and the item stays the
    // caller's, when no room could be had (or item is null).
    bool Add(QvString* item);

    int32_t GetCount() const { return count; }
    int32_t GetCapacity() const { return capacity; }
    // The item at an index below the count; null outside that range.
    QvString* GetAt(int32_t index) const;
    // Refilling in place: puts item (which the vector then owns) at an index below the
    // count, destroying the item that was there; does nothing outside that range or for
    // a null item. Truncate destroys the items from newCount on (nothing when newCount is
    // negative or not below the count).
    void ReplaceAt(int32_t index, QvString* item);
    void Truncate(int32_t newCount);

    // Sorts the items with CompareNoCase (quicksort: equal items in unspecified order).
    void SortNoCase();
    // -1, 0 or 1. Null sorts first, then the empty text; otherwise the texts compare as
    // QvString::CompareNoCase orders them.
    static int CompareNoCase(const QvString* a, const QvString* b);
    // Clears output and fills it with the trimmed comma-separated fields of source (the
    // fields NextCommaField gives); a value without a comma is trimmed too, unlike the
    // settings lists that keep a lone value as it is. Nothing happens when either pointer
    // is null.
    static void SplitCommaList(const QvString* source, QvStringVector* output);
    // The comma-separated list's fields in place, one a call from *position (0 first): the
    // untrimmed bytes up to the next comma or the end, as *start and *length. False when no
    // field is left: an empty text has none and nothing follows a trailing comma. Commas
    // after a NUL byte do not count, as for FindChar.
    static bool NextCommaField(const QvString* source, int32_t* position, int32_t* start, int32_t* length);

    // Slots of a new vector; beyond this, growth goes 150, 250, 350, ...
    static const int32_t kInitialCapacity = 50;
    static const int32_t kGrowthStep = 100;

private:
    void DropSlots();

    int32_t count;
    int32_t capacity;
    QvString** items;
};
