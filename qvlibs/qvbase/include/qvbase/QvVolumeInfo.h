#pragma once
// QvVolumeInfo: one volume the backup client knows, by its GUID text and mount-point path
// (the settings file lists them). Records live in the pooled QvVolumeInfoList and are
// reused there, so Reset returns a record to its freshly constructed state.

#include <cstddef>
#include <cstdint>

class QvString;

class QvVolumeInfo {
public:
    // A volume GUID text has exactly this many characters (the settings reader takes no other).
    static const int32_t kVolumeGuidLength = 28;
    // Sizes of the fixed text fields, terminator included.
    static const int32_t kTypeCodeSize = 3;  // up to 2 characters
    static const int32_t kVolumeGuidSize = kVolumeGuidLength + 1;
    static const int32_t kHguidSize = 26;       // up to 25 characters

    // Type code of a record that nobody filled in, and of volumes from the settings file.
    static constexpr const char* kUnknownTypeCode = "un";
    static constexpr const char* kSettingsTypeCode = "gm";

    QvVolumeInfo();
    QvVolumeInfo(const QvVolumeInfo&) = delete;
    QvVolumeInfo& operator=(const QvVolumeInfo&) = delete;
    virtual ~QvVolumeInfo();

    // Records come from the library's allocator; a failed allocation yields null.
    static void* operator new(size_t size) noexcept;
    static void operator delete(void* block) noexcept;

    // Every field back to its value after construction; the mount-point string is
    // emptied, not replaced.
    void Reset();

    // Copy text into the fixed fields, cut to what fits; null counts as empty.
    void SetTypeCode(const char* text);
    void SetVolumeGuid(const char* text);
    void SetHguid(const char* text);
    // Copies text into the mount-point string (nothing happens without that string).
    void SetMountPointPath(const char* text);
    // The mount-point text; never null (empty when the string is missing).
    const char* GetMountPointText() const;

    bool fromSettings;
    char typeCode[kTypeCodeSize];
    char volumeGuid[kVolumeGuidSize];
    char hguid[kHguidSize];
    // Owned; null only when its allocation failed.
    QvString* mountPointPath;
};
