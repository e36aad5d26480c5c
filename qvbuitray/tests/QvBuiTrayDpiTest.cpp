// The icon at the display's resolution, on the program's real path: the optional entry
// points looked up as at start-up, then the first timer tick, with nothing replaced. The
// resolution is the Wine prefix's LogPixels setting, named by QV_LOGPIXELS (96 when unset:
// the tests' usual prefix); cmake/wine-dpi runs this test once per setting, restarting the
// prefix's server in between. Windows-only: the resolution comes from the window system.
#include "QvBuiTrayIcon.h"

#include <cstdlib>

#include "QvBuiTrayState.h"
#include "QvBuiTraySystemLibrary.h"
#include "QvBuiTrayTestSupport.h"
#include "QvBuiTrayWndProc.h"

using namespace QvBuiTray;

namespace {

// What the system reports at each LogPixels setting (measured under Wine: both the window's
// resolution and its device context follow the setting, and so does the small-icon metric),
// and the icon sizes the program must then ask for: the small-icon metric scaled by the
// resolution over 96, a resolution below 96 counting as 96; after a shell restart, the
// system's default icon size, unscaled.
struct Resolution {
    int logPixels;
    int smallIconMetric;
    int iconSize;
    int defaultIconSize;
};
const Resolution kResolutions[] = {
    {72, 12, 12, 24}, {96, 16, 16, 32}, {120, 20, 25, 40}, {144, 24, 36, 48}, {192, 32, 64, 64},
};

// Width and height of an icon's colour image, "none" without an icon.
std::string IconSize(HICON icon) {
    ICONINFO info = {};
    if (!icon || !GetIconInfo(icon, &info))
        return "none";
    BITMAP bitmap = {};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    const int height = info.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2;
    return std::to_string(bitmap.bmWidth) + "x" + std::to_string(height);
}

std::string Square(int size) { return std::to_string(size) + "x" + std::to_string(size); }

}  // namespace

class QvBuiTrayDpi : public QvBuiTrayTest {};

TEST_F(QvBuiTrayDpi, IconTakesTheSizeTheDisplayResolutionAsksForOnEveryLoadingPath) {
    const char* setting = std::getenv("QV_LOGPIXELS");
    const int logPixels = setting ? std::atoi(setting) : 96;
    const Resolution* expected = nullptr;
    for (const Resolution& resolution : kResolutions)
        expected = resolution.logPixels == logPixels ? &resolution : expected;
    ASSERT_NE(nullptr, expected) << "no expectation for LogPixels " << logPixels;

    // The premise: the system reports the setting (else the prefix was not set up).
    HDC screen = GetDC(nullptr);
    const int reported = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    ASSERT_EQ(std::make_pair(logPixels, expected->smallIconMetric),
              std::make_pair(reported, GetSystemMetrics(SM_CXSMICON)));

    ResolveQvBuiOptionalEntryPoints();
    ASSERT_TRUE(getDpiForWindow && loadIconWithScaleDown) << "this system offers both entry points";
    const QvGetDpiForWindowFunction systemGetDpi = getDpiForWindow;
    const QvLoadIconWithScaleDownFunction systemLoadIcon = loadIconWithScaleDown;
    struct Path { bool withGetDpi, withScaleDown; } paths[] = {{true, true}, {true, false}, {false, true}, {false, false}};
    for (const Path& path : paths) {
        getDpiForWindow = path.withGetDpi ? systemGetDpi : nullptr;
        loadIconWithScaleDown = path.withScaleDown ? systemLoadIcon : nullptr;
        firstVisibilityCheckTime = 0;  // the first tick creates the icon
        OnTrayTimerTick(mainWindow);
        ASSERT_NE(nullptr, trayWindow);
        const std::string where = std::string(path.withGetDpi ? "GetDpiForWindow" : "device context") + ", " +
                                  (path.withScaleDown ? "LoadIconWithScaleDown" : "LoadImageW");
        EXPECT_EQ(Square(expected->iconSize), IconSize(trayIconData.hIcon)) << where;
        EXPECT_TRUE(IsIconShown(trayWindow)) << where;

        // The shell restarted: the icon comes back at the default size.
        ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &trayIconData));
        SendMessageW(trayWindow, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
        EXPECT_EQ(Square(expected->defaultIconSize), IconSize(trayIconData.hIcon)) << where << ", re-added";
        EXPECT_TRUE(IsIconShown(trayWindow)) << where << ", re-added";

        Shell_NotifyIconW(NIM_DELETE, &trayIconData);
        DestroyWindow(trayWindow);
        trayWindow = nullptr;
        ZeroMemory(&trayIconData, sizeof(trayIconData));
    }
    EXPECT_EQ(std::vector<std::string>{}, TakeLog());
}
