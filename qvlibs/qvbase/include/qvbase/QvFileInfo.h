#pragma once
// QvFileInfo: the status record of one path, filled by QvFile::GetFileInfo. Times are
// milliseconds since 1970-01-01 00:00 UTC; the record owns its copy of the queried path.

#include <cstdint>

class QvString;

class QvFileInfo {
public:
    QvFileInfo();
    QvFileInfo(const QvFileInfo&) = delete;
    QvFileInfo& operator=(const QvFileInfo&) = delete;
    virtual ~QvFileInfo();

    // Numbers to 0, flags to false, path to empty.
    void Reset();

    int64_t size;          // bytes; 0 for a directory
    int64_t modifyTime;    // last write, ms since 1970
    int64_t createTime;    // creation, ms since 1970
    bool isDirectory;
    bool isReparsePoint;   // symbolic link, junction or mount point, file or directory
    QvString* path;        // owned; the queried path after the trailing-separator rule
};
