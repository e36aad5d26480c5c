#pragma once
// QvVolumeInfoList: the pooled list of known volumes. Every slot up to the capacity holds
// a constructed record; the records at or past the count are spares that AddNew hands
// out again as they are. The capacity runs 5, 15, 25, 35, ... and never shrinks.

#include <cstdint>

class QvVolumeInfo;

class QvVolumeInfoList {
public:
    // Slots of a new list, and the step the capacity grows by beyond that.
    static const int32_t kInitialCapacity = 5;
    static const int32_t kGrowthStep = 10;

    // A new list has kInitialCapacity spare records (none when that allocation failed).
    QvVolumeInfoList();
    QvVolumeInfoList(const QvVolumeInfoList&) = delete;
    QvVolumeInfoList& operator=(const QvVolumeInfoList&) = delete;
    virtual ~QvVolumeInfoList();

    // Makes sure at least n slots exist (grows one step as soon as n reaches the
    // capacity). False for a negative n, or when the array cannot be grown: the list is
    // then left without records or slots.
    bool Reserve(int32_t n);
    // The record of slot count, count then incremented; handed out unchanged, so the
    // caller sets every field it needs. Null when the reservation fails.
    QvVolumeInfo* AddNew();
    // Removes and destroys the record at index, moving the later ones down and putting
    // a fresh record at the end of the used part. Nothing for an index outside the count.
    // Always removes: when no fresh record can be made, the removed one is reset and
    // becomes the spare.
    void RemoveAt(int32_t index);
    // Count back to 0; the records stay as spares.
    void Clear();
    // Sorts the used records with CompareByMountPoint.
    void SortByMountPoint();

    int32_t GetCount() const { return count; }
    int32_t GetCapacity() const { return capacity; }
    // The record at an index below the count; null otherwise.
    QvVolumeInfo* GetAt(int32_t index) const;
    // The record in any slot below the capacity (spares included); null otherwise.
    QvVolumeInfo* GetSlot(int32_t index) const;

    // Comparison for the C library's qsort over the slots: slotA and slotB point at
    // slots (QvVolumeInfo* const*). -1, 0 or 1 by mount-point path, A to Z folded to
    // lower case and bytes compared as signed 8-bit values; a missing string is empty.
    static int CompareByMountPoint(const void* slotA, const void* slotB);

private:
    void DestroyAll();

    int32_t count;
    int32_t capacity;
    QvVolumeInfo** items;
};
