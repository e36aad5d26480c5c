// QvVolumeInfo: one known volume. The text fields are fixed arrays; the mount point is an
// owned string that Reset empties in place, so a reused record keeps its buffer.
#include "qvbase/QvVolumeInfo.h"

#include <cstring>

#include "platform/QvPlatformMemory.h"
#include "qvbase/QvString.h"

namespace {
// Copies as much of text as fits into a field of fieldSize bytes, always terminated.
void CopyIntoField(char* field, int32_t fieldSize, const char* text) {
    size_t length = text != nullptr ? strlen(text) : 0;
    if (length > static_cast<size_t>(fieldSize - 1))
        length = static_cast<size_t>(fieldSize - 1);
    if (length > 0)
        memcpy(field, text, length);
    memset(field + length, 0, static_cast<size_t>(fieldSize) - length);
}
}  // namespace

void* QvVolumeInfo::operator new(size_t size) noexcept { return QvPlatform::Malloc(size); }

void QvVolumeInfo::operator delete(void* block) noexcept { QvPlatform::Free(block); }

QvVolumeInfo::QvVolumeInfo() : fromSettings(false), mountPointPath(new QvString()) {
    CopyIntoField(typeCode, kTypeCodeSize, kUnknownTypeCode);
    CopyIntoField(volumeGuid, kVolumeGuidSize, "");
    CopyIntoField(hguid, kHguidSize, "");
}

QvVolumeInfo::~QvVolumeInfo() {
    delete mountPointPath;
    mountPointPath = nullptr;
}

void QvVolumeInfo::Reset() {
    fromSettings = false;
    CopyIntoField(typeCode, kTypeCodeSize, kUnknownTypeCode);
    CopyIntoField(volumeGuid, kVolumeGuidSize, "");
    CopyIntoField(hguid, kHguidSize, "");
    if (mountPointPath != nullptr)
        mountPointPath->Set("");
}

void QvVolumeInfo::SetTypeCode(const char* text) { CopyIntoField(typeCode, kTypeCodeSize, text); }

void QvVolumeInfo::SetVolumeGuid(const char* text) { CopyIntoField(volumeGuid, kVolumeGuidSize, text); }

void QvVolumeInfo::SetHguid(const char* text) { CopyIntoField(hguid, kHguidSize, text); }

void QvVolumeInfo::SetMountPointPath(const char* text) {
    if (mountPointPath != nullptr)
        mountPointPath->Set(text != nullptr ? text : "");
}

const char* QvVolumeInfo::GetMountPointText() const {
    return mountPointPath != nullptr ? mountPointPath->GetText() : "";
}
