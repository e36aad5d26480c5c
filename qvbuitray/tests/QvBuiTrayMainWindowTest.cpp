// The hidden main window's handling of its timer, Exit and destruction, and the system
// libraries that the start-up looks its optional entry points up in.
#include "QvBuiTrayMainWindow.h"

#include <string>

#include "QvBuiTraySystemLibrary.h"

#include "QvBuiTrayState.h"
#include "QvBuiTrayTestSupport.h"
#include "resource.h"

using namespace QvBuiTray;

TEST_F(QvBuiTrayTest, MainWindowTicksOnTimerMessagesAndEndsTheLoopWhenExitDestroysIt) {
    LoadStringW(instance, IDS_APP_TITLE, title, kQvBuiTrayResourceTextUnits);
    LoadStringW(instance, IDC_QVBUITRAY, windowClass, kQvBuiTrayResourceTextUnits);
    RegisterQvBuiMainWindowClass();
    HWND window = CreateQvBuiMainWindow();
    ASSERT_NE(nullptr, window);

    clickState = kQvBuiTrayClickPressed;
    SendMessageW(window, WM_TIMER, 77, 0);
    EXPECT_EQ(kQvBuiTrayClickOneTickPassed, clickState) << "any timer id ticks";

    timerId = SetTimer(window, 0, 100000, nullptr);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(0u, timerId);
    EXPECT_EQ(0, TakeQuitCode());
}

// Both ways of loading a system library, the search flag and the full path that serves a
// system without it, give the system folder's library; a name with a folder in it gives
// nothing, so that no caller can reach outside the system folder.
TEST(QvBuiTraySystemLibrary, LoadsFromTheSystemFolderByEitherWayAndOnlyBareNames) {
    wchar_t systemDir[MAX_PATH];
    const UINT length = GetSystemDirectoryW(systemDir, MAX_PATH);
    ASSERT_GT(length, 0u);
    const std::wstring expected = std::wstring(systemDir, length) + L"\\comctl32.dll";
    for (bool searchFlagsKnown : {true, false}) {
        SCOPED_TRACE(searchFlagsKnown ? "search flag" : "full path");
        HMODULE module = LoadQvBuiSystemLibraryBy(L"comctl32.dll", searchFlagsKnown);
        ASSERT_NE(nullptr, module);
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(module, path, MAX_PATH);
        EXPECT_EQ(0, lstrcmpiW(expected.c_str(), path)) << "loaded from elsewhere";
        FreeLibrary(module);
        for (const wchar_t* name : {L"", L"..\\comctl32.dll", L"C:\\comctl32.dll", L"sub/comctl32.dll", L"qvnothere.dll"})
            EXPECT_EQ(nullptr, LoadQvBuiSystemLibraryBy(name, searchFlagsKnown));
    }
    EXPECT_EQ(nullptr, LoadQvBuiSystemLibraryBy(nullptr, true));
}
