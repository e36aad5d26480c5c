// Volume records and the pooled volume list: capacity steps, spare records, removal and the
// mount-point order.
#include "qvbase/QvVolumeInfoList.h"

#include <string>
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
// Type code, GUID, HGUID, mount point and the settings flag of a record.
std::string Fields(const QvVolumeInfo& v) {
    return std::string(v.typeCode) + "|" + v.volumeGuid + "|" + v.hguid + "|" + v.GetMountPointText() +
           (v.fromSettings ? "|settings" : "");
}
using QvVolumeInfoListMemory = QvAllocationFailureTest;
}  // namespace

TEST(QvVolumeInfo, ResetRestoresConstructionValuesAndFixedFieldsKeepWhatFits) {
    QvVolumeInfo volume;
    EXPECT_EQ("un|||", Fields(volume));
    volume.fromSettings = true;
    volume.SetTypeCode("abc"), volume.SetVolumeGuid("v1234567890123456789012345678XYZ");
    volume.SetHguid("123456789012345678901234567890"), volume.SetMountPointPath("D:\\data\\");
    EXPECT_EQ("ab|v123456789012345678901234567|1234567890123456789012345|D:\\data\\|settings", Fields(volume));
    const QvString* string = volume.mountPointPath;
    volume.Reset();
    EXPECT_EQ("un|||", Fields(volume));
    EXPECT_EQ(string, volume.mountPointPath);
}

TEST(QvVolumeInfoList, CapacityGrowsInStepsOfTenAfterFiveAndClearKeepsSpares) {
    QvVolumeInfoList list, reserved;
    std::vector<std::pair<int, int32_t>> growths;  // record number, capacity after adding it
    for (int n = 1; n <= 25; n++) {
        int32_t before = list.GetCapacity();
        ASSERT_NE(nullptr, list.AddNew());
        if (list.GetCapacity() != before) growths.push_back({n, list.GetCapacity()});
    }
    EXPECT_EQ((std::vector<std::pair<int, int32_t>>{{6, 15}, {15, 25}, {25, 35}}), growths);
    EXPECT_EQ(25, list.GetCount());
    for (int32_t i = 0; i < list.GetCapacity(); i++) EXPECT_NE(nullptr, list.GetSlot(i)) << "slot " << i;
    EXPECT_FALSE(reserved.Reserve(-1));
    EXPECT_TRUE(reserved.Reserve(40) && reserved.GetCapacity() == 45);
    EXPECT_TRUE(reserved.Reserve(7) && reserved.GetCapacity() == 45);
    // Cleared records stay as spares, handed out again unchanged.
    QvVolumeInfo* first = list.GetAt(0);
    first->SetMountPointPath("C:\\");
    list.Clear();
    EXPECT_EQ(0, list.GetCount());
    EXPECT_EQ(first, list.AddNew());
    EXPECT_STREQ("C:\\", first->GetMountPointText());
}

TEST_F(QvVolumeInfoListMemory, RemoveAtMovesLaterRecordsDownAndPutsAFreshOneAtTheEnd) {
    QvVolumeInfoList list, empty;
    Fill(list, {"A:\\", "B:\\", "C:\\", "D:\\"});
    QvVolumeInfo *third = list.GetAt(2), *spare = list.GetSlot(4);
    for (int32_t index : {4, 5, -1, 100}) list.RemoveAt(index);
    EXPECT_TRUE(list.GetCount() == 4 && list.GetSlot(4) == spare) << "outside the used records nothing moves";
    list.GetAt(0)->SetTypeCode("gm");
    list.RemoveAt(0);
    EXPECT_EQ((Texts{"B:\\", "C:\\", "D:\\"}), Items(list));
    QvVolumeInfo* fresh = list.GetSlot(3);
    ASSERT_NE(nullptr, fresh);
    EXPECT_TRUE(list.GetAt(1) == third && fresh != third);
    EXPECT_EQ("un|||", Fields(*fresh));
    // Without memory for a fresh record the removed one, reset, becomes the spare.
    QvVolumeInfo* removed = list.GetAt(0);
    QvPlatformTest::FailAllocationNumber(1);
    list.RemoveAt(0);
    EXPECT_EQ((Texts{"C:\\", "D:\\"}), Items(list));
    EXPECT_EQ(removed, list.GetSlot(2));
    EXPECT_EQ("un|||", Fields(*removed));
    empty.RemoveAt(0);
    EXPECT_EQ(0, empty.GetCount());
}

TEST(QvVolumeInfoList, SortsByMountPointComparingFoldedBytesAsSigned) {
    QvVolumeInfoList list;
    Fill(list, {"D:\\data\\", "C:\\A\\", "c:\\"});
    list.SortByMountPoint();
    EXPECT_EQ((Texts{"c:\\", "C:\\A\\", "D:\\data\\"}), Items(list));
    // Bytes from 0x80 on sort before ASCII; '[' lies between 'Z' and 'a', so folding decides.
    const struct { const char* a; const char* b; int expected; } cases[] = {
        {"C:\\X\\", "c:\\x\\", 0}, {"Z:", "z:", 0}, {"\xC3\xA9:\\", "a:\\", -1}, {"[", "A", -1}, {"b", "A", 1}};
    for (const auto& c : cases) {
        QvVolumeInfo a, b, *slotA = &a, *slotB = &b;
        a.SetMountPointPath(c.a), b.SetMountPointPath(c.b);
        EXPECT_EQ(c.expected, QvVolumeInfoList::CompareByMountPoint(&slotA, &slotB)) << c.a << " vs " << c.b;
        EXPECT_EQ(-c.expected, QvVolumeInfoList::CompareByMountPoint(&slotB, &slotA)) << c.b << " vs " << c.a;
    }
}

TEST_F(QvVolumeInfoListMemory, FailedGrowthLeavesAnEmptyListThatRecovers) {
    for (long long failing : {1, 2}) {  // the slot array, then the first new record
        QvVolumeInfoList list;
        Fill(list, {"A:\\", "B:\\", "C:\\", "D:\\", "E:\\"});
        QvPlatformTest::FailAllocationNumber(failing);
        EXPECT_EQ(nullptr, list.AddNew()) << failing;
        QvPlatformTest::FailAllocationNumber(0);
        EXPECT_TRUE(list.GetCount() == 0 && list.GetCapacity() == 0 && list.GetSlot(0) == nullptr) << failing;
        EXPECT_TRUE(list.AddNew() && list.GetCapacity() == 5) << failing;
    }
}
