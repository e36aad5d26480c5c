// The program's resources (the resource script is built into this test program; the
// version block is read from the program's file), the two window classes and the hidden
// main window's handling of its timer, Exit and destruction.
#include "QvBuiTrayMainWindow.h"

#include "QvBuiTrayIcon.h"
#include "QvBuiTrayState.h"
#include "QvBuiTrayTestSupport.h"
#include "resource.h"

using namespace QvBuiTray;
using namespace QvBuiTrayTestEnv;

static std::wstring MenuText(HMENU menu, UINT position) {
    wchar_t text[64] = {};
    GetMenuStringW(menu, position, text, 64, MF_BYPOSITION);
    return text;
}

// Read from the program's file, built next to this test program.
TEST(QvBuiTrayResources, ProgramFileCarriesItsVersionBlock) {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    ASSERT_TRUE(length > 0 && length < MAX_PATH);
    std::wstring program(path);
    program = program.substr(0, program.find_last_of(L'\\') + 1) + L"qvbuitray.exe";
    std::vector<unsigned char> block(GetFileVersionInfoSizeW(program.c_str(), nullptr) + 1);
    ASSERT_TRUE(GetFileVersionInfoW(program.c_str(), 0, DWORD(block.size()), block.data())) << Utf8(program);

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
    EXPECT_EQ((9u << 16) | 2u, fixed->dwFileVersionMS);
    EXPECT_EQ((2u << 16) | 897u, fixed->dwFileVersionLS);
    EXPECT_EQ((9u << 16) | 2u, fixed->dwProductVersionMS);
    EXPECT_EQ((2u << 16) | 897u, fixed->dwProductVersionLS);

    // U.S. English, UTF-16.
    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &size));
    ASSERT_EQ(4u, size);
    EXPECT_EQ(0x0409, translation[0]);
    EXPECT_EQ(1200, translation[1]);

    struct {
        const wchar_t* name;
        const wchar_t* text;
    } versionStrings[] = {{L"CompanyName", L"Velbrook"}, {L"FileDescription", L"Velbrook Tray"},
                          {L"ProductName", L"Velbrook Backup"}, {L"FileVersion", L"9.2.2.897"},
                          {L"ProductVersion", L"9.2.2.897"}};
    for (const auto& entry : versionStrings) {
        wchar_t* value = nullptr;
        std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + entry.name;
        EXPECT_TRUE(VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &size) &&
                    std::wstring(value) == entry.text)
            << Utf8(entry.name);
    }
}

TEST(QvBuiTrayResources, NameTheMainWindowAndCarryMenuAndAccelerators) {
    wchar_t text[kQvBuiTrayResourceTextUnits] = {};
    LoadStringW(instance, IDS_APP_TITLE, text, kQvBuiTrayResourceTextUnits);
    EXPECT_STREQ(L"qvbuitray", text);
    LoadStringW(instance, IDC_QVBUITRAY, text, kQvBuiTrayResourceTextUnits);
    EXPECT_STREQ(L"QVBUITRAY", text);

    HMENU menu = LoadMenuW(instance, MAKEINTRESOURCEW(IDC_QVBUITRAY));
    ASSERT_EQ(2, GetMenuItemCount(menu));
    EXPECT_EQ(L"&File", MenuText(menu, 0));
    EXPECT_EQ(L"&Help", MenuText(menu, 1));
    EXPECT_EQ(L"E&xit", MenuText(GetSubMenu(menu, 0), 0));
    EXPECT_EQ(105u, GetMenuItemID(GetSubMenu(menu, 0), 0));
    EXPECT_EQ(L"&About ...", MenuText(GetSubMenu(menu, 1), 0));
    EXPECT_EQ(104u, GetMenuItemID(GetSubMenu(menu, 1), 0));
    DestroyMenu(menu);

    ACCEL entries[4] = {};
    ASSERT_EQ(2, CopyAcceleratorTableW(LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDC_QVBUITRAY)), entries, 4));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(i == 0 ? L'?' : L'/', entries[i].key);
        EXPECT_EQ(FALT, entries[i].fVirt & (FALT | FVIRTKEY | FCONTROL | FSHIFT)) << "Alt with a character key";
        EXPECT_EQ(104, entries[i].cmd);
    }
}

TEST(QvBuiTrayResources, AboutBoxHasItsSizeFontLineAndClosesWithOkOrCancel) {
    // The extended template: size after version, signature, help id, styles and item count;
    // then menu, class and title, then point size, weight, italic, charset and face.
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(IDD_ABOUTBOX), MAKEINTRESOURCEW(5));
    ASSERT_NE(nullptr, found);
    const WORD* words = static_cast<const WORD*>(LockResource(LoadResource(instance, found)));
    ASSERT_EQ(0xFFFF, words[1]) << "an extended template";
    EXPECT_EQ(170, words[11]);
    EXPECT_EQ(62, words[12]);
    const wchar_t* title = reinterpret_cast<const wchar_t*>(words + 15);  // no menu, no class
    EXPECT_STREQ(L"About qvbuitray", title);
    const WORD* font = reinterpret_cast<const WORD*>(title + wcslen(title) + 1);
    EXPECT_EQ(8, font[0]);
    EXPECT_STREQ(L"MS Shell Dlg", reinterpret_cast<const wchar_t*>(font + 3));

    HWND dialog = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_ABOUTBOX), nullptr, AboutDlgProc, 0);
    ASSERT_NE(nullptr, dialog);
    wchar_t line[64] = {};
    GetDlgItemTextW(dialog, IDOK, line, 64);
    EXPECT_STREQ(L"OK", line);
    bool lineFound = false;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        GetWindowTextW(child, line, 64);
        lineFound = lineFound || std::wstring(line) == L"qvbuitray, Version 1.0";
    }
    EXPECT_TRUE(lineFound);
    EXPECT_EQ(FALSE, AboutDlgProc(dialog, WM_COMMAND, 1000, 0));
    EXPECT_EQ(TRUE, AboutDlgProc(dialog, WM_COMMAND, IDCANCEL, 0));
    EXPECT_EQ(TRUE, AboutDlgProc(dialog, WM_COMMAND, IDOK, 0));
    DestroyWindow(dialog);
}

TEST_F(QvBuiTrayTest, MainWindowTicksOnTimerMessagesAndEndsTheLoopWhenExitDestroysIt) {
    LoadStringW(instance, IDS_APP_TITLE, title, kQvBuiTrayResourceTextUnits);
    LoadStringW(instance, IDC_QVBUITRAY, windowClass, kQvBuiTrayResourceTextUnits);
    RegisterQvBuiMainWindowClass();
    HWND window = CreateQvBuiMainWindow();
    ASSERT_NE(nullptr, window);
    // What the single-instance test of a second start looks for: class and title together.
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

// Both classes: CS_HREDRAW | CS_VREDRAW, and COLOR_WINDOW + 1 as the background.
TEST_F(QvBuiTrayTest, WindowClassesRedrawOnResizeAndPaintTheWindowColour) {
    LoadStringW(instance, IDC_QVBUITRAY, windowClass, kQvBuiTrayResourceTextUnits);
    RegisterQvBuiMainWindowClass();
    ASSERT_TRUE(CreateQvBuiSystemTray());
    for (const wchar_t* name : {L"QVBUITRAY", L"VelbrookTrayWindow"}) {
        WNDCLASSEXW info = {};
        info.cbSize = sizeof(info);
        ASSERT_TRUE(GetClassInfoExW(instance, name, &info)) << Utf8(name);
        EXPECT_EQ(3u, info.style) << Utf8(name);
        EXPECT_EQ(6, reinterpret_cast<INT_PTR>(info.hbrBackground)) << Utf8(name);
    }
}
