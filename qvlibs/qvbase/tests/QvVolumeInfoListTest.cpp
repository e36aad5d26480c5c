// Volume records and the pooled volume list: capacity steps, spare records, removal and the
// mount-point order.
#include "qvbase/QvVolumeInfoList.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "qvbase/QvString.h"
#include "qvbase/QvVolumeInfo.h"
#include "QvTestPlatform.h"

namespace {

std::vector<std::string> MountPoints(const QvVolumeInfoList& list) {
    std::vector<std::string> paths;
    for (int32_t i = 0; i < list.GetCount(); i++)
        paths.push_back(list.GetAt(i)->GetMountPointText());
    return paths;
}

// A list holding the given mount points in that order.
void Fill(QvVolumeInfoList& list, const std::vector<std::string>& mountPoints) {
    for (const std::string& path : mountPoints)
        list.AddNew()->SetMountPointPath(path.c_str());
}

}  // namespace

TEST(QvVolumeInfo, ResetRestoresConstructionValuesAndFixedFieldsKeepWhatFits) {
    QvVolumeInfo volume;
    volume.fromSettings = true;
    volume.SetTypeCode("abc");
    volume.SetVolumeGuid("v1234567890123456789012345678XYZ");
    volume.SetHguid("123456789012345678901234567890");
    volume.SetMountPointPath("D:\\data\\");
    EXPECT_STREQ("ab", volume.typeCode);
    EXPECT_STREQ("v123456789012345678901234567", volume.volumeGuid);
    EXPECT_STREQ("1234567890123456789012345", volume.hguid);
    const QvString* string = volume.mountPointPath;
    volume.Reset();
    EXPECT_STREQ("un", volume.typeCode);
    EXPECT_STREQ("", volume.volumeGuid);
    EXPECT_STREQ("", volume.hguid);
    EXPECT_FALSE(volume.fromSettings);
    EXPECT_EQ(string, volume.mountPointPath);
    EXPECT_STREQ("", volume.GetMountPointText());
}

TEST(QvVolumeInfoList, CapacityGrowsInStepsOfTenAfterFive) {
    QvVolumeInfoList list;
    EXPECT_EQ(5, list.GetCapacity());
    const struct { int added; int capacity; } steps[] = {{5, 5}, {6, 15}, {14, 15}, {15, 25}, {25, 35}};
    int added = 0;
    for (const auto& step : steps) {
        for (; added < step.added; added++)
            ASSERT_NE(nullptr, list.AddNew());
        EXPECT_EQ(step.capacity, list.GetCapacity()) << "after " << step.added << " records";
        EXPECT_EQ(step.added, list.GetCount());
    }
    for (int32_t i = 0; i < list.GetCapacity(); i++)
        EXPECT_NE(nullptr, list.GetSlot(i)) << "slot " << i;

    QvVolumeInfoList reserved;
    EXPECT_FALSE(reserved.Reserve(-1));
    EXPECT_TRUE(reserved.Reserve(40));
    EXPECT_EQ(45, reserved.GetCapacity());
    EXPECT_TRUE(reserved.Reserve(7));
    EXPECT_EQ(45, reserved.GetCapacity());
}

TEST(QvVolumeInfoList, ClearKeepsRecordsAsSparesHandedOutUnchanged) {
    QvVolumeInfoList list;
    Fill(list, {"C:\\"});
    QvVolumeInfo* first = list.GetAt(0);
    list.Clear();
    EXPECT_EQ(0, list.GetCount());
    QvVolumeInfo* again = list.AddNew();
    EXPECT_EQ(first, again);
    EXPECT_STREQ("C:\\", again->GetMountPointText());
}

TEST(QvVolumeInfoList, RemoveAtMovesLaterRecordsDownAndPutsAFreshOneAtTheEnd) {
    QvVolumeInfoList list;
    Fill(list, {"A:\\", "B:\\", "C:\\"});
    QvVolumeInfo* third = list.GetAt(2);
    QvVolumeInfo* spare = list.GetSlot(3);
    for (int32_t index : {3, 4, -1, 100})
        list.RemoveAt(index);
    EXPECT_EQ(3, list.GetCount()) << "outside the used records nothing moves";
    EXPECT_EQ(spare, list.GetSlot(3));

    list.RemoveAt(0);
    EXPECT_EQ((std::vector<std::string>{"B:\\", "C:\\"}), MountPoints(list));
    EXPECT_EQ(third, list.GetAt(1));
    QvVolumeInfo* fresh = list.GetSlot(2);
    ASSERT_NE(nullptr, fresh);
    EXPECT_NE(third, fresh);
    EXPECT_STREQ("", fresh->GetMountPointText());
    EXPECT_STREQ("un", fresh->typeCode);
    QvVolumeInfoList empty;
    empty.RemoveAt(0);
    EXPECT_EQ(0, empty.GetCount());
}

TEST(QvVolumeInfoList, SortsByMountPointComparingFoldedBytesAsSigned) {
    QvVolumeInfoList list;
    Fill(list, {"D:\\data\\", "C:\\A\\", "c:\\"});
    list.SortByMountPoint();
    EXPECT_EQ((std::vector<std::string>{"c:\\", "C:\\A\\", "D:\\data\\"}), MountPoints(list));
    const struct { const char* a; const char* b; int expected; } cases[] = {
        {"C:\\X\\", "c:\\x\\", 0},
        {"\xC3\xA9:\\", "a:\\", -1},  // bytes from 0x80 on sort before ASCII
        {"[", "A", -1},               // '[' lies between 'Z' and 'a': folding decides
        {"b", "A", 1},
    };
    for (const auto& c : cases) {
        QvVolumeInfo a, b;
        a.SetMountPointPath(c.a);
        b.SetMountPointPath(c.b);
        QvVolumeInfo* slotA = &a;
        QvVolumeInfo* slotB = &b;
        EXPECT_EQ(c.expected, QvVolumeInfoList::CompareByMountPoint(&slotA, &slotB)) << c.a << " vs " << c.b;
        EXPECT_EQ(-c.expected, QvVolumeInfoList::CompareByMountPoint(&slotB, &slotA)) << c.b << " vs " << c.a;
    }
}

TEST(QvVolumeInfoList, FailedGrowthLeavesAnEmptyListThatRecovers) {
    QvVolumeInfoList list;
    Fill(list, {"A:\\", "B:\\", "C:\\", "D:\\", "E:\\"});
    QvPlatformTest::FailAllocationNumber(1);
    EXPECT_EQ(nullptr, list.AddNew());
    QvPlatformTest::FailAllocationNumber(0);
    EXPECT_EQ(0, list.GetCount());
    EXPECT_EQ(0, list.GetCapacity());
    EXPECT_EQ(nullptr, list.GetSlot(0));
    EXPECT_NE(nullptr, list.AddNew());
    EXPECT_EQ(5, list.GetCapacity());
}
