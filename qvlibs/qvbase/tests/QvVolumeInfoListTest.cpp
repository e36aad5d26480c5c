// Volume records and the pooled volume list: capacity steps, spare records, removal and the
// mount-point order.
#include "qvbase/QvVolumeInfoList.h"

#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "QvTestCommon.h"
#include "qvbase/QvString.h"
#include "qvbase/QvVolumeInfo.h"
#include "QvTestPlatform.h"

namespace {
using Texts = std::vector<std::string>;
void Fill(QvVolumeInfoList& list, const Texts& mountPoints) {
    for (const std::string& path : mountPoints) list.AddNew()->SetMountPointPath(path.c_str());
}
// A record's fields: (type code, volume GUID, HGUID, mount point, from settings).
using Record = std::tuple<std::string, std::string, std::string, std::string, bool>;
Record Fields(const QvVolumeInfo& v) {
    return Record{v.typeCode, v.volumeGuid, v.hguid, v.GetMountPointText(), v.fromSettings};
}
const Record kFresh{"un", "", "", "", false};
using QvVolumeInfoListMemory = QvAllocationFailureTest;
}  // namespace

TEST(QvVolumeInfo, ResetRestoresConstructionValuesAndFixedFieldsKeepWhatFits) {
    QvVolumeInfo volume;
    EXPECT_EQ(kFresh, Fields(volume)) << "a new record";
    volume.fromSettings = true;
    volume.SetTypeCode("abc");
    volume.SetVolumeGuid("v1234567890123456789012345678XYZ");
    volume.SetHguid("123456789012345678901234567890");
    volume.SetMountPointPath("D:\\data\\");
    const Record cut{"ab", "v123456789012345678901234567", "1234567890123456789012345", "D:\\data\\", true};
    EXPECT_EQ(cut, Fields(volume)) << "fields set beyond their sizes";
    const QvString* string = volume.mountPointPath;
    volume.Reset();
    EXPECT_EQ(kFresh, Fields(volume)) << "after Reset";
    EXPECT_EQ(string, volume.mountPointPath) << "Reset keeps the mount-point string";
}

TEST(QvVolumeInfoList, CapacityGrowsInStepsOfTenAfterFiveAndClearKeepsSpares) {
    QvVolumeInfoList list, reserved;
    std::vector<std::pair<int, int32_t>> growths;  // record number, capacity after adding it
    for (int n = 1; n <= 25; n++) {
        const int32_t before = list.GetCapacity();
        ASSERT_NE(nullptr, list.AddNew()) << "AddNew of record " << n;
        if (list.GetCapacity() != before) growths.push_back({n, list.GetCapacity()});
    }
    EXPECT_EQ((std::vector<std::pair<int, int32_t>>{{6, 15}, {15, 25}, {25, 35}}), growths);
    EXPECT_EQ(25, list.GetCount());
    for (int32_t i = 0; i < list.GetCapacity(); i++) EXPECT_NE(nullptr, list.GetSlot(i)) << "slot " << i;
    EXPECT_FALSE(reserved.Reserve(-1));
    EXPECT_TRUE(reserved.Reserve(40));
    EXPECT_EQ(45, reserved.GetCapacity()) << "Reserve(40) on a new list";
    EXPECT_TRUE(reserved.Reserve(7));
    EXPECT_EQ(45, reserved.GetCapacity()) << "Reserve(7) at capacity 45";
    // Cleared records stay as spares, handed out again unchanged.
    QvVolumeInfo* first = list.GetAt(0);
    first->SetMountPointPath("C:\\");
    list.Clear();
    EXPECT_EQ(0, list.GetCount()) << "after Clear";
    EXPECT_EQ(first, list.AddNew()) << "the first AddNew after Clear";
    EXPECT_STREQ("C:\\", first->GetMountPointText());
}

TEST_F(QvVolumeInfoListMemory, RemoveAtMovesLaterRecordsDownAndPutsAFreshOneAtTheEnd) {
    QvVolumeInfoList list, empty;
    Fill(list, {"A:\\", "B:\\", "C:\\", "D:\\"});
    QvVolumeInfo* third = list.GetAt(2);
    QvVolumeInfo* spare = list.GetSlot(4);
    for (int32_t index : {4, 5, -1, 100}) list.RemoveAt(index);
    EXPECT_EQ(4, list.GetCount()) << "RemoveAt outside the used records";
    EXPECT_EQ(spare, list.GetSlot(4)) << "the spare after RemoveAt outside the used records";
    list.GetAt(0)->SetTypeCode("gm");
    list.RemoveAt(0);
    EXPECT_EQ((Texts{"B:\\", "C:\\", "D:\\"}), Items(list)) << "after RemoveAt(0)";
    QvVolumeInfo* fresh = list.GetSlot(3);
    ASSERT_NE(nullptr, fresh);
    EXPECT_EQ(third, list.GetAt(1)) << "the third record moved down";
    EXPECT_NE(third, fresh) << "the record put at the end";
    EXPECT_EQ(kFresh, Fields(*fresh)) << "the record put at the end";
    // Without memory for a fresh record the removed one, reset, becomes the spare.
    QvVolumeInfo* removed = list.GetAt(0);
    QvPlatformTest::FailAllocationNumber(1);
    list.RemoveAt(0);
    EXPECT_EQ((Texts{"C:\\", "D:\\"}), Items(list)) << "after RemoveAt(0) while the allocation fails";
    EXPECT_EQ(removed, list.GetSlot(2)) << "the spare after RemoveAt(0) while the allocation fails";
    EXPECT_EQ(kFresh, Fields(*removed)) << "the removed record kept as the spare";
    empty.RemoveAt(0);
    EXPECT_EQ(0, empty.GetCount()) << "RemoveAt(0) on an empty list";
}

TEST(QvVolumeInfoList, SortsByMountPointComparingFoldedBytesAsSigned) {
    QvVolumeInfoList list;
    Fill(list, {"D:\\data\\", "C:\\A\\", "c:\\"});
    list.SortByMountPoint();
    EXPECT_EQ((Texts{"c:\\", "C:\\A\\", "D:\\data\\"}), Items(list));
    // Bytes from 0x80 on sort before ASCII; '[' lies between 'Z' and 'a', so folding decides.
    struct Case { const char* a; const char* b; int expected; };
    for (const Case& c : {Case{"Z:", "z:", 0}, {"\xC3\xA9:\\", "a:\\", -1}, {"[", "A", -1}, {"b", "A", 1}}) {
        QvVolumeInfo a, b;
        a.SetMountPointPath(c.a);
        b.SetMountPointPath(c.b);
        QvVolumeInfo *slotA = &a, *slotB = &b;
        EXPECT_EQ(c.expected, QvVolumeInfoList::CompareByMountPoint(&slotA, &slotB))
            << "CompareByMountPoint of \"" << c.a << "\" and \"" << c.b << "\"";
        EXPECT_EQ(-c.expected, QvVolumeInfoList::CompareByMountPoint(&slotB, &slotA))
            << "CompareByMountPoint of \"" << c.b << "\" and \"" << c.a << "\"";
    }
}

TEST_F(QvVolumeInfoListMemory, FailedGrowthLeavesAnEmptyListThatRecovers) {
    for (long long failing : {1, 2}) {  // the slot array, then the first new record
        SCOPED_TRACE(failing == 1 ? "the slot array cannot grow" : "the first new record cannot be made");
        QvVolumeInfoList list;
        Fill(list, {"A:\\", "B:\\", "C:\\", "D:\\", "E:\\"});
        QvPlatformTest::FailAllocationNumber(failing);
        EXPECT_EQ(nullptr, list.AddNew()) << "AddNew of a sixth record";
        QvPlatformTest::FailAllocationNumber(0);
        EXPECT_EQ(0, list.GetCount()) << "records after the failed growth";
        EXPECT_EQ(0, list.GetCapacity()) << "slots after the failed growth";
        EXPECT_EQ(nullptr, list.GetSlot(0)) << "slot 0 after the failed growth";
        EXPECT_NE(nullptr, list.AddNew()) << "AddNew after the failed growth";
        EXPECT_EQ(5, list.GetCapacity()) << "slots after the list recovered";
    }
}
