// QvVolumeInfoList: a pooled array of volume records. Slots below the capacity always
// hold a constructed record, so adding a volume reuses a spare record instead of making
// one; the array grows by reallocation in steps of ten slots.
#include "qvbase/QvVolumeInfoList.h"

#include <cstdlib>

#include "foundation/QvSlotGrowth.h"
#include "platform/QvPlatformMemory.h"
#include "qvbase/QvString.h"
#include "qvbase/QvVolumeInfo.h"

QvVolumeInfoList::QvVolumeInfoList() : count(0), capacity(0), items(nullptr) {
    Reserve(0);
}

QvVolumeInfoList::~QvVolumeInfoList() { DestroyAll(); }

void QvVolumeInfoList::DestroyAll() {
    for (int32_t i = 0; i < capacity; i++)
        delete items[i];
    QvPlatform::Free(items);
    items = nullptr;
    count = 0;
    capacity = 0;
}

bool QvVolumeInfoList::Reserve(int32_t n) {
    if (n < 0)
        return false;
    if (n < capacity)
        return true;
    const int32_t newCapacity = QvSteppedSlotCount(n, kInitialCapacity, kGrowthStep);
    if (newCapacity == capacity)
        return true;

    void* grown = QvPlatform::Realloc(items, sizeof(QvVolumeInfo*) * static_cast<size_t>(newCapacity));
    if (grown == nullptr) {
        DestroyAll();
        return false;
    }
    items = static_cast<QvVolumeInfo**>(grown);
    for (int32_t i = capacity; i < newCapacity; i++) {
        items[i] = new QvVolumeInfo();
        if (items[i] == nullptr) {
            // Every slot must hold a record: without one the growth as a whole fails.
            capacity = i;
            DestroyAll();
            return false;
        }
    }
    capacity = newCapacity;
    return true;
}

QvVolumeInfo* QvVolumeInfoList::AddNew() {
    if (!Reserve(count + 1))
        return nullptr;
    return items[count++];
}

void QvVolumeInfoList::RemoveAt(int32_t index) {
    if (index < 0 || count < 1 || index >= count)
        return;
    // A removal never depends on memory: without a fresh record the removed one, reset,
    // serves as the spare (a caller that removes in a loop must always make progress).
    QvVolumeInfo* removed = items[index];
    QvVolumeInfo* fresh = new QvVolumeInfo();
    for (int32_t i = index; i < count - 1; i++)
        items[i] = items[i + 1];
    count--;
    if (fresh == nullptr) {
        removed->Reset();
        items[count] = removed;
        return;
    }
    items[count] = fresh;
    delete removed;
}

void QvVolumeInfoList::Clear() { count = 0; }

void QvVolumeInfoList::SortByMountPoint() {
    if (count > 1)
        qsort(items, static_cast<size_t>(count), sizeof(QvVolumeInfo*), CompareByMountPoint);
}

QvVolumeInfo* QvVolumeInfoList::GetAt(int32_t index) const {
    return index >= 0 && index < count ? items[index] : nullptr;
}

QvVolumeInfo* QvVolumeInfoList::GetSlot(int32_t index) const {
    return index >= 0 && index < capacity ? items[index] : nullptr;
}

int QvVolumeInfoList::CompareByMountPoint(const void* slotA, const void* slotB) {
    const QvVolumeInfo* a = *static_cast<QvVolumeInfo* const*>(slotA);
    const QvVolumeInfo* b = *static_cast<QvVolumeInfo* const*>(slotB);
    return QvString::CompareNoCase(a != nullptr ? a->GetMountPointText() : "",
                                   b != nullptr ? b->GetMountPointText() : "");
}
