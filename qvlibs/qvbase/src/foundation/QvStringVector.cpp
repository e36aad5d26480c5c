// QvStringVector: the owning array of heap strings, its case-insensitive order and the
// splitting of comma-separated setting values.
#include "qvbase/QvStringVector.h"

#include <cstdlib>

#include "foundation/QvSlotGrowth.h"
#include "platform/QvPlatformMemory.h"
#include "qvbase/QvString.h"

QvStringVector::QvStringVector() : count(0), capacity(0), items(nullptr) {
    items = static_cast<QvString**>(QvPlatform::Malloc(sizeof(QvString*) * kInitialCapacity));
    if (items != nullptr)
        capacity = kInitialCapacity;
}

QvStringVector::~QvStringVector() {
    Clear();
    QvPlatform::Free(items);
    items = nullptr;
    capacity = 0;
}

void QvStringVector::Clear() { Truncate(0); }

void QvStringVector::Truncate(int32_t newCount) {
    if (newCount < 0)
        return;
    for (int32_t i = newCount; i < count; i++) {
        delete items[i];
        items[i] = nullptr;
    }
    if (newCount < count)
        count = newCount;
}

void QvStringVector::ReplaceAt(int32_t index, QvString* item) {
    if (index < 0 || index >= count || item == nullptr || item == items[index])
        return;
    delete items[index];
    items[index] = item;
}

void QvStringVector::DropSlots() {
    Clear();
    QvPlatform::Free(items);
    items = nullptr;
    capacity = 0;
}

bool QvStringVector::EnsureCapacity(int32_t n) {
    if (n < 0)
        return false;
    // One slot more than n must exist, so a full vector of 50 reallocates to the same
    // size when its 50th item arrives.
    if (n < capacity)
        return true;
    const int32_t newCapacity = QvSteppedSlotCount(n, kInitialCapacity, kGrowthStep);
    QvString** grown = static_cast<QvString**>(
        QvPlatform::Realloc(items, sizeof(QvString*) * static_cast<size_t>(newCapacity)));
    if (grown == nullptr) {
        // The vector ends up without slots; its items could no longer be reached, so
        // they are released here rather than left behind.
        DropSlots();
        return false;
    }
    items = grown;
    capacity = newCapacity;
    return true;
}

bool QvStringVector::Add(QvString* item) {
    if (item == nullptr || !EnsureCapacity(count + 1))
        return false;
    items[count++] = item;
    return true;
}

QvString* QvStringVector::GetAt(int32_t index) const {
    if (index < 0 || index >= count)
        return nullptr;
    return items[index];
}

static int CompareItemsNoCase(const void* left, const void* right) {
    return QvStringVector::CompareNoCase(*static_cast<QvString* const*>(left),
                                         *static_cast<QvString* const*>(right));
}

void QvStringVector::SortNoCase() {
    if (count > 1)
        qsort(items, static_cast<size_t>(count), sizeof(QvString*), CompareItemsNoCase);
}

int QvStringVector::CompareNoCase(const QvString* a, const QvString* b) {
    if (a == nullptr)
        return b == nullptr ? 0 : -1;
    if (b == nullptr)
        return 1;
    if (a->GetLength() < 1)
        return b->GetLength() < 1 ? 0 : -1;
    if (b->GetLength() < 1)
        return 1;
    return QvString::CompareNoCase(a->GetText(), b->GetText());
}

// Adds a trimmed heap copy of source[start, start + length); an item that cannot be
// stored is dropped.
static void AddTrimmedField(QvStringVector* output, const QvString* source, int32_t start,
                            int32_t length) {
    QvString* field = source->NewMid(start, length);
    if (field == nullptr)
        return;
    field->Trim();
    if (!output->Add(field))
        delete field;
}

void QvStringVector::SplitCommaList(const QvString* source, QvStringVector* output) {
    if (source == nullptr || output == nullptr)
        return;
    output->Clear();
    int32_t position = 0, start = 0, length = 0;
    while (NextCommaField(source, &position, &start, &length))
        AddTrimmedField(output, source, start, length);
}

bool QvStringVector::NextCommaField(const QvString* source, int32_t* position, int32_t* start, int32_t* length) {
    if (*position < 0 || *position >= source->GetLength())
        return false;
    const int32_t comma = source->FindChar(*position, ',');
    const int32_t end = comma >= 0 ? comma : source->GetLength();
    *start = *position;
    *length = end - *position;
    *position = end + 1;
    return true;
}
