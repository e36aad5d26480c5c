// The program's version block (read from the program's file), its About box and the
// hidden main window's handling of its timer, Exit and destruction.
#include "QvBuiTrayMainWindow.h"

#include "QvBuiTrayState.h"
#include "QvBuiTrayTestSupport.h"
#include "QvBuiTrayVersion.h"
#include "resource.h"

using namespace QvBuiTray;

// The numbers and the strings of the block, found through its own translation entry,
// say what the version header says.
TEST(QvBuiTrayResources, ProgramFileCarriesTheVersionOfTheVersionHeader) {
    std::wstring program(MAX_PATH, L'\0');
    program.resize(GetModuleFileNameW(nullptr, &program[0], MAX_PATH));
    program.replace(program.find_last_of(L'\\') + 1, std::wstring::npos, L"qvbuitray.exe");
    std::vector<unsigned char> block(GetFileVersionInfoSizeW(program.c_str(), nullptr) + 1);
    ASSERT_TRUE(GetFileVersionInfoW(program.c_str(), 0, DWORD(block.size()), block.data())) << program;

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
    const DWORD high = (QVBUITRAY_VERSION_MAJOR << 16) | QVBUITRAY_VERSION_MINOR;
    const DWORD low = (QVBUITRAY_VERSION_PATCH << 16) | QVBUITRAY_VERSION_BUILD;
    EXPECT_EQ((std::vector<DWORD>{high, low, high, low}),
              (std::vector<DWORD>{fixed->dwFileVersionMS, fixed->dwFileVersionLS, fixed->dwProductVersionMS,
                                  fixed->dwProductVersionLS}));

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &size) && size == 4);
    wchar_t prefix[64];
    swprintf(prefix, 64, L"\\StringFileInfo\\%04X%04X\\", translation[0], translation[1]);
    for (const wchar_t* name : {L"FileVersion", L"ProductVersion"}) {
        wchar_t* value = nullptr;
        ASSERT_TRUE(VerQueryValueW(block.data(), (prefix + std::wstring(name)).c_str(),
                                   reinterpret_cast<void**>(&value), &size)) << name;
        EXPECT_STREQ(L"" QVBUITRAY_VERSION_TEXT, value) << name;
    }
}

TEST_F(QvBuiTrayTest, AboutBoxClosesWithOkOrCancelOnly) {
    HWND dialog = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_ABOUTBOX), nullptr, AboutDlgProc, 0);
    ASSERT_NE(nullptr, dialog);
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

    clickState = kQvBuiTrayClickPressed;
    SendMessageW(window, WM_TIMER, 77, 0);
    EXPECT_EQ(kQvBuiTrayClickOneTickPassed, clickState) << "any timer id ticks";

    timerId = SetTimer(window, 0, 100000, nullptr);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(0u, timerId);
    EXPECT_EQ(0, TakeQuitCode());
}
