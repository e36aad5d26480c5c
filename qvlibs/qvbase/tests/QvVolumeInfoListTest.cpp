// Volume records and the pooled volume list: the capacity steps, spare records handed out
// as they are, removal with a fresh record at the end, and the mount-point order.
#include "qvbase/QvVolumeInfoList.h"

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/QvPlatformMemory.h"
#include "qvbase/QvString.h"
#include "qvbase/QvVolumeInfo.h"

namespace {

QvVolumeInfo* AddVolume(QvVolumeInfoList& list, const char* guid, const char* mountPoint) {
    QvVolumeInfo* volume = list.AddNew();
    if (volume != nullptr) {
        volume->SetVolumeGuid(guid);
        volume->SetMountPointPath(mountPoint);
    }
    return volume;
}

std::vector<std::string> MountPoints(const QvVolumeInfoList& list) {
    std::vector<std::string> paths;
    for (int32_t i = 0; i < list.GetCount(); i++)
        paths.push_back(list.GetAt(i)->GetMountPointText());
    return paths;
}

}  // namespace

TEST(QvVolumeInfo, ResetRestoresConstructionValuesAndKeepsTheString) {
    QvVolumeInfo volume;
    EXPECT_STREQ("un", volume.typeCode);
    EXPECT_FALSE(volume.fromSettings);
    ASSERT_NE(nullptr, volume.mountPointPath);

    volume.fromSettings = true;
    volume.SetTypeCode("gm");
    volume.SetVolumeGuid("v123456789012345678901234567");
    volume.SetHguid("abcdefghijklmnopqrstuvwx");
    volume.SetMountPointPath("D:\\data\\");
    const QvString* string = volume.mountPointPath;
    volume.Reset();

    EXPECT_STREQ("un", volume.typeCode);
    EXPECT_STREQ("", volume.volumeGuid);
    EXPECT_STREQ("", volume.hguid);
    EXPECT_FALSE(volume.fromSettings);
    EXPECT_EQ(string, volume.mountPointPath);
    EXPECT_STREQ("", volume.GetMountPointText());
}

TEST(QvVolumeInfo, FixedFieldsKeepWhatFits) {
    QvVolumeInfo volume;
    volume.SetTypeCode("abc");
    volume.SetVolumeGuid("v1234567890123456789012345678XYZ");
    volume.SetHguid("123456789012345678901234567890");
    EXPECT_STREQ("ab", volume.typeCode);
    EXPECT_STREQ("v123456789012345678901234567", volume.volumeGuid);
    EXPECT_STREQ("1234567890123456789012345", volume.hguid);
}

TEST(QvVolumeInfoList, CapacityGrowsInStepsOfTenAfterFive) {
    QvVolumeInfoList list;
    EXPECT_EQ(0, list.GetCount());
    EXPECT_EQ(5, list.GetCapacity());
    struct Step {
        int added;
        int capacity;
    } steps[] = {{5, 5}, {6, 15}, {14, 15}, {15, 25}, {24, 25}, {25, 35}, {36, 45}};
    int added = 0;
    for (const Step& step : steps) {
        while (added < step.added) {
            ASSERT_NE(nullptr, list.AddNew());
            added++;
        }
        EXPECT_EQ(step.capacity, list.GetCapacity()) << "after " << step.added << " records";
        EXPECT_EQ(step.added, list.GetCount());
    }
    for (int32_t i = 0; i < list.GetCapacity(); i++)
        EXPECT_NE(nullptr, list.GetSlot(i)) << "slot " << i;
}

TEST(QvVolumeInfoList, ReserveRefusesNegativeAndKeepsLargerCapacities) {
    QvVolumeInfoList list;
    EXPECT_FALSE(list.Reserve(-1));
    EXPECT_TRUE(list.Reserve(4));
    EXPECT_EQ(5, list.GetCapacity());
    EXPECT_TRUE(list.Reserve(40));
    EXPECT_EQ(45, list.GetCapacity());
    EXPECT_TRUE(list.Reserve(7));
    EXPECT_EQ(45, list.GetCapacity());
}

TEST(QvVolumeInfoList, ClearKeepsRecordsAsSparesHandedOutUnchanged) {
    QvVolumeInfoList list;
    QvVolumeInfo* first = AddVolume(list, "g1", "C:\\");
    list.Clear();
    EXPECT_EQ(0, list.GetCount());
    EXPECT_EQ(5, list.GetCapacity());
    QvVolumeInfo* again = list.AddNew();
    EXPECT_EQ(first, again);
    EXPECT_STREQ("C:\\", again->GetMountPointText());
}

TEST(QvVolumeInfoList, RemoveAtMovesLaterRecordsDownAndPutsAFreshOneAtTheEnd) {
    QvVolumeInfoList list;
    AddVolume(list, "g1", "A:\\");
    QvVolumeInfo* second = AddVolume(list, "g2", "B:\\");
    QvVolumeInfo* third = AddVolume(list, "g3", "C:\\");
    list.RemoveAt(0);

    EXPECT_EQ(2, list.GetCount());
    EXPECT_EQ(5, list.GetCapacity());
    EXPECT_EQ(second, list.GetAt(0));
    EXPECT_EQ(third, list.GetAt(1));
    QvVolumeInfo* fresh = list.GetSlot(2);
    ASSERT_NE(nullptr, fresh);
    EXPECT_NE(third, fresh);
    EXPECT_STREQ("", fresh->GetMountPointText());
    EXPECT_STREQ("un", fresh->typeCode);
}

TEST(QvVolumeInfoList, RemoveAtOutsideTheUsedRecordsDoesNothing) {
    QvVolumeInfoList list;
    AddVolume(list, "g1", "A:\\");
    AddVolume(list, "g2", "B:\\");
    AddVolume(list, "g3", "C:\\");
    QvVolumeInfo* spare = list.GetSlot(3);
    for (int32_t index : {3, 4, -1, 100}) {
        list.RemoveAt(index);
        EXPECT_EQ(3, list.GetCount()) << "index " << index;
    }
    EXPECT_EQ(spare, list.GetSlot(3));
    QvVolumeInfoList empty;
    empty.RemoveAt(0);
    EXPECT_EQ(0, empty.GetCount());
}

TEST(QvVolumeInfoList, SortsByMountPointIgnoringAsciiCase) {
    QvVolumeInfoList list;
    AddVolume(list, "g1", "D:\\data\\");
    AddVolume(list, "g2", "C:\\A\\");
    AddVolume(list, "g3", "c:\\");
    list.SortByMountPoint();
    EXPECT_EQ((std::vector<std::string>{"c:\\", "C:\\A\\", "D:\\data\\"}), MountPoints(list));
}

TEST(QvVolumeInfoList, ComparesFoldedBytesAsSigned) {
    struct Case {
        const char* a;
        const char* b;
        int expected;
    } cases[] = {
        {"C:\\X\\", "c:\\x\\", 0},
        {"c:\\", "C:\\A\\", -1},
        {"\xC3\xA9:\\", "a:\\", -1},  // bytes from 0x80 on sort before ASCII
        {"[", "A", -1},               // '[' lies between 'Z' and 'a': folding decides
        {"", "", 0},
        {"b", "A", 1},
    };
    for (const Case& c : cases) {
        QvVolumeInfo a;
        QvVolumeInfo b;
        a.SetMountPointPath(c.a);
        b.SetMountPointPath(c.b);
        QvVolumeInfo* slotA = &a;
        QvVolumeInfo* slotB = &b;
        EXPECT_EQ(c.expected, QvVolumeInfoList::CompareByMountPoint(&slotA, &slotB)) << c.a << " vs " << c.b;
        EXPECT_EQ(-c.expected, QvVolumeInfoList::CompareByMountPoint(&slotB, &slotA)) << c.b << " vs " << c.a;
    }
}

TEST(QvVolumeInfoList, FailedGrowthLeavesAnEmptyListWithoutSlots) {
    QvVolumeInfoList list;
    for (int i = 0; i < 5; i++)
        ASSERT_NE(nullptr, list.AddNew());
    QvPlatformTest::FailAllocationNumber(1);
    EXPECT_EQ(nullptr, list.AddNew());
    QvPlatformTest::FailAllocationNumber(0);
    EXPECT_EQ(0, list.GetCount());
    EXPECT_EQ(0, list.GetCapacity());
    EXPECT_EQ(nullptr, list.GetSlot(0));
    // The list recovers on the next addition.
    EXPECT_NE(nullptr, list.AddNew());
    EXPECT_EQ(5, list.GetCapacity());
}
