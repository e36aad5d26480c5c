// The modal menu and the control-panel launch, reached through replaceable pointers.
#include "QvBuiTraySeams.h"

#include "qvbase/QvSystem.h"

namespace QvBuiTraySeams {

int TrackMenuWithPlatform(HMENU menu, UINT flags, int x, int y, HWND owner) {
    return TrackPopupMenu(menu, flags, x, y, 0, owner, nullptr);
}

bool RunCommandWithPlatform(const QvString* commandLine) {
    return QvSystem::RunCommand(commandLine);
}

TrackMenuFunction trackMenu = TrackMenuWithPlatform;
RunCommandFunction runCommand = RunCommandWithPlatform;

}  // namespace QvBuiTraySeams
