// The program's resources (as the tray's resource script builds them into this test
// program) and the hidden main window's handling of its timer, Exit and destruction.
#include "QvBuiTrayMainWindow.h"

#include "QvBuiTrayState.h"
#include "QvBuiTrayTestSupport.h"
#include "resource.h"

using namespace QvBuiTray;
using namespace QvBuiTrayTestEnv;

static std::wstring LoadText(UINT id) {
    wchar_t text[kQvBuiTrayResourceTextUnits] = {};
    LoadStringW(instance, id, text, kQvBuiTrayResourceTextUnits);
    return text;
}

static std::wstring MenuText(HMENU menu, UINT position) {
    wchar_t text[64] = {};
    GetMenuStringW(menu, position, text, 64, MF_BYPOSITION);
    return text;
}

static std::wstring VersionString(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    DWORD size = GetFileVersionInfoSizeW(path, nullptr);
    std::vector<unsigned char> block(size);
    if (size == 0 || !GetFileVersionInfoW(path, 0, size, block.data()))
        return L"(no version block)";
    std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    wchar_t* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
        return L"(missing)";
    return value;
}

TEST(QvBuiTrayResources, NameTheMainWindowAndCarryIconMenuAcceleratorsAndVersion) {
    EXPECT_EQ(L"qvbuitray", LoadText(IDS_APP_TITLE));
    EXPECT_EQ(L"QVBUITRAY", LoadText(IDC_QVBUITRAY));

    HICON icon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_QVBUITRAY), IMAGE_ICON, 24, 24, 0));
    EXPECT_NE(nullptr, icon);
    DestroyIcon(icon);

    HMENU menu = LoadMenuW(instance, MAKEINTRESOURCEW(IDC_QVBUITRAY));
    ASSERT_NE(nullptr, menu);
    ASSERT_EQ(2, GetMenuItemCount(menu));
    EXPECT_EQ(L"&File", MenuText(menu, 0));
    EXPECT_EQ(L"&Help", MenuText(menu, 1));
    EXPECT_EQ(L"E&xit", MenuText(GetSubMenu(menu, 0), 0));
    EXPECT_EQ(static_cast<UINT>(IDM_EXIT), GetMenuItemID(GetSubMenu(menu, 0), 0));
    EXPECT_EQ(L"&About ...", MenuText(GetSubMenu(menu, 1), 0));
    EXPECT_EQ(static_cast<UINT>(IDM_ABOUT), GetMenuItemID(GetSubMenu(menu, 1), 0));
    DestroyMenu(menu);

    HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDC_QVBUITRAY));
    ACCEL entries[4] = {};
    ASSERT_EQ(2, CopyAcceleratorTableW(accelerators, entries, 4));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(i == 0 ? L'?' : L'/', entries[i].key);
        EXPECT_EQ(FALT, entries[i].fVirt & (FALT | FVIRTKEY)) << "Alt with a character, not a virtual key";
        EXPECT_EQ(IDM_ABOUT, entries[i].cmd);
    }

    EXPECT_EQ(L"Velbrook", VersionString(L"CompanyName"));
    EXPECT_EQ(L"Velbrook Tray", VersionString(L"FileDescription"));
    EXPECT_EQ(L"Velbrook Backup", VersionString(L"ProductName"));
    EXPECT_EQ(L"9.2.2.897", VersionString(L"FileVersion"));
    EXPECT_EQ(L"9.2.2.897", VersionString(L"ProductVersion"));
}

TEST(QvBuiTrayResources, AboutBoxNamesTheProgramAndClosesWithOk) {
    HWND dialog = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_ABOUTBOX), nullptr, AboutDlgProc, 0);
    ASSERT_NE(nullptr, dialog);
    wchar_t text[64] = {};
    GetWindowTextW(dialog, text, 64);
    EXPECT_STREQ(L"About qvbuitray", text);
    RECT size = {0, 0, 170, 62};
    MapDialogRect(dialog, &size);
    RECT client;
    GetClientRect(dialog, &client);
    EXPECT_EQ(size.right, client.right);
    EXPECT_EQ(size.bottom, client.bottom);
    HWND ok = GetDlgItem(dialog, IDOK);
    ASSERT_NE(nullptr, ok);
    GetWindowTextW(ok, text, 64);
    EXPECT_STREQ(L"OK", text);
    bool lineFound = false;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        GetWindowTextW(child, text, 64);
        lineFound = lineFound || std::wstring(text) == L"qvbuitray, Version 1.0";
    }
    EXPECT_TRUE(lineFound);
    EXPECT_EQ(TRUE, AboutDlgProc(dialog, WM_COMMAND, IDOK, 0));
    EXPECT_EQ(FALSE, AboutDlgProc(dialog, WM_COMMAND, 1000, 0));
    DestroyWindow(dialog);
}

using QvBuiTrayMainWindowTest = QvBuiTrayTest;

TEST_F(QvBuiTrayMainWindowTest, TicksOnTimerMessagesAndEndsTheLoopWhenExitDestroysIt) {
    LoadStringW(instance, IDS_APP_TITLE, title, kQvBuiTrayResourceTextUnits);
    LoadStringW(instance, IDC_QVBUITRAY, windowClass, kQvBuiTrayResourceTextUnits);
    RegisterQvBuiMainWindowClass();
    HWND window = CreateQvBuiMainWindow();
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(window, FindWindowW(L"QVBUITRAY", L"qvbuitray"));
    EXPECT_EQ(nullptr, FindWindowW(L"QVBUITRAY", L"another title"));

    clickState = kQvBuiTrayClickPressed;
    SendMessageW(window, WM_TIMER, 77, 0);
    EXPECT_EQ(kQvBuiTrayClickOneTickPassed, clickState) << "any timer id ticks";

    timerId = SetTimer(window, 0, 100000, nullptr);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(0u, timerId);
    int code = -5;
    EXPECT_TRUE(TakeQuitMessage(&code));
    EXPECT_EQ(0, code);
}
