// QvFileInfo: the status record of one path. Its path string comes from the library's
// allocator (QvString's own operator new), null when that fails.
#include "qvbase/QvFileInfo.h"

#include "qvbase/QvString.h"

QvFileInfo::QvFileInfo()
    : size(0), modifyTime(0), createTime(0), isDirectory(false), isReparsePoint(false),
      path(new QvString()) {}

QvFileInfo::~QvFileInfo() {
    delete path;
}

void QvFileInfo::Reset() {
    size = 0;
    modifyTime = 0;
    createTime = 0;
    isDirectory = false;
    isReparsePoint = false;
    if (path)
        path->Set("");
}
