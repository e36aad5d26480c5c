#pragma once
// The fixed numbers and names of the tray program: what the shell, the control panel
// qvbui.exe and tests from outside see of it. Each one is defined here and nowhere else,
// except those the resource script shares: the version (QVBUITRAY_VERSION_TEXT and its
// parts) in QvBuiTrayVersion.h and the resource identifiers in resource.h, both included
// here. System values go by their SDK names.

#include <windows.h>
#include <shellapi.h>

#include <cstdint>

#include "QvBuiTrayVersion.h"
#include "resource.h"

// ---- Program ----------------------------------------------------------------------
// Bounded buffers for the title and class name read from the string table (units,
// terminator included).
constexpr int kQvBuiTrayResourceTextUnits = 100;

// Exit codes of wWinMain.
constexpr int kQvBuiTrayExitOtherInstance = -1;
constexpr int kQvBuiTrayExitNoMainWindow = 0;
constexpr int kQvBuiTrayQuitCode = 0;  // carried by every quit message of the program

// ---- Windows ----------------------------------------------------------------------
// Both window classes: redrawn whole on a resize, painted in the window colour.
constexpr unsigned int kQvBuiTrayClassStyle = CS_HREDRAW | CS_VREDRAW;
constexpr int kQvBuiTrayClassBackground = COLOR_WINDOW + 1;

// The hidden tray window that receives the icon's callbacks and "TaskbarCreated". Its
// title is its class name.
#define QVBUITRAY_TRAY_WINDOW_CLASS L"VelbrookTrayWindow"
#define QVBUITRAY_TRAY_WINDOW_TITLE QVBUITRAY_TRAY_WINDOW_CLASS
#define QVBUITRAY_TRAY_MENU_NAME L"VelbrookTrayMenu"
// Broadcast by the shell when it (re)starts; every tray window answers it.
#define QVBUITRAY_TASKBAR_CREATED_MESSAGE_NAME L"TaskbarCreated"

// Optional entry points, looked up by name at start.
#define QVBUITRAY_USER32_DLL L"user32.dll"
#define QVBUITRAY_GET_DPI_FOR_WINDOW_NAME "GetDpiForWindow"
#define QVBUITRAY_COMCTL32_DLL L"Comctl32.dll"
#define QVBUITRAY_LOAD_ICON_WITH_SCALE_DOWN_NAME "LoadIconWithScaleDown"

// ---- Timer and clicks -------------------------------------------------------------
constexpr unsigned int kQvBuiTrayTimerPeriodMillis = 150;
constexpr uintptr_t kQvBuiTrayTimerIdArgument = 0;  // SetTimer picks the identifier

// States of the single-click detector, advanced by the timer tick.
constexpr int kQvBuiTrayClickIdle = 0;
constexpr int kQvBuiTrayClickPressed = 1;      // left press seen, no tick since
constexpr int kQvBuiTrayClickOneTickPassed = 2;  // next tick opens the menu

// ---- Notification icon ------------------------------------------------------------
// The icon's uID is the number of the program icon it shows (110).
constexpr unsigned int kQvBuiTrayIconId = IDI_QVBUITRAY;
constexpr unsigned int kQvBuiTrayIconFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
// The message that carries the icon's mouse events to the tray window (1025).
constexpr unsigned int kQvBuiTrayCallbackMessage = WM_USER + 1;
#define QVBUITRAY_TIP_TEXT "Velbrook"
constexpr int kQvBuiTrayTipMaxUnits = 63;  // copied at most, then a terminating zero
// The size of NOTIFYICONDATAW in its full layout in the shipping 32-bit program.
constexpr unsigned int kQvBuiTrayIconRecordSize32 = 956;
// Resolution that needs no icon scaling, and the floor applied to lower ones.
constexpr int kQvBuiTrayBaseDpi = 96;
// After its first check the hide setting is not read again until this many seconds
// have passed, so that the icon shows right after start even while another program
// is still rewriting the status file.
constexpr double kQvBuiTrayHideSettingGraceSeconds = 10.0;

// ---- Menu -------------------------------------------------------------------------
// Command numbers: shared by the menu and the control panel's command line.
constexpr int kQvBuiTrayCmdControlPanel = 1;
constexpr int kQvBuiTrayCmdSeparator = 2;
constexpr int kQvBuiTrayCmdHelp = 3;
constexpr int kQvBuiTrayCmdCheckForUpdates = 4;
constexpr int kQvBuiTrayCmdInherit = 5;
constexpr int kQvBuiTrayCmdRestoreOptions = 6;
constexpr int kQvBuiTrayCmdAbout = 7;
constexpr int kQvBuiTrayCmdQuit = 8;
constexpr int kQvBuiTrayCmdSendLogs = 9;

// Interface-text keys of the menu labels.
#define QVBUITRAY_KEY_CONTROL_PANEL "TrayMenuItem_VelbrookControlPanel"
#define QVBUITRAY_KEY_HELP "TrayMenuItem_Help"
#define QVBUITRAY_KEY_CHECK_FOR_UPDATES "TrayMenuItem_CheckForUpdates"
#define QVBUITRAY_KEY_INHERIT "TrayMenuItem_Inherit"
#define QVBUITRAY_KEY_RESTORE_OPTIONS "MainDialog_Button_RestoreOptions"
#define QVBUITRAY_KEY_ABOUT "TrayMenuItem_About"
#define QVBUITRAY_KEY_QUIT "TrayMenuItem_Quit"
#define QVBUITRAY_KEY_SEND_LOGS_PREPARING "SendLogsMenu_Status_Preparing"
#define QVBUITRAY_KEY_SEND_LOGS_SENDING "SendLogsMenu_Status_Sending"
#define QVBUITRAY_KEY_SEND_LOGS_TEXT "SendLogsMenu_Text"

#define QVBUITRAY_SEPARATOR_TEXT L"dummy"
// The locale setting that means "no choice": the override is left alone.
#define QVBUITRAY_DEFAULT_LOCALE "default"
// The menu returns the chosen command instead of posting it, sends no notifications,
// opens upwards from the cursor and takes a choice made with either mouse button.
constexpr unsigned int kQvBuiTrayTrackMenuFlags = TPM_RETURNCMD | TPM_NONOTIFY | TPM_BOTTOMALIGN | TPM_RIGHTBUTTON;

// ---- Control panel command line ---------------------------------------------------
#define QVBUITRAY_CONTROL_PANEL_NAME "qvbui"
#define QVBUITRAY_CONTROL_PANEL_EXTENSION ".exe"
#define QVBUITRAY_MENU_ARGUMENT "-menu "
#define QVBUITRAY_QUIT_ARGUMENT "-quitqvbui"

// ---- Log --------------------------------------------------------------------------
#define QVBUITRAY_LOG_FOLDER "qvlogs"
#define QVBUITRAY_LOG_NAME "qvbuitray"

#define QVBUITRAY_LOG_START_SPACER " "
#define QVBUITRAY_LOG_STARTING "qvbuitray starting up, version: "
#define QVBUITRAY_LOG_OTHER_INSTANCE "qvbuitray END, other process running"
#define QVBUITRAY_LOG_END "qvbuitray END"
#define QVBUITRAY_LOG_REMOVE_FAILED "ERROR: RemoveQvBuiIconFromSystemTray failed"
#define QVBUITRAY_LOG_CREATE_WINDOW_FAILED "ERROR: CreateQvBuiSystemTray 1 - CreateWindow failed, err="
#define QVBUITRAY_LOG_ADD_ICON_FAILED "ERROR: CreateQvBuiSystemTray 2 - Shell_NotifyIcon failed"
#define QVBUITRAY_LOG_READD_ICON_FAILED "ERROR: CreateQvBuiSystemTray_3 - Shell_NotifyIcon failed"
#define QVBUITRAY_LOG_APPEND_MENU_FAILED "ERROR: qvbuiAppendStrMenuItem failed to AppendMenu: "
#define QVBUITRAY_LOG_TRAY_MOUSE_CLICK "Tray MouseClick at x="
#define QVBUITRAY_LOG_TRAY_MOUSE_CLICK_Y ", y="
#define QVBUITRAY_LOG_DOUBLE_CLICK "tray double click"
#define QVBUITRAY_LOG_ABOUT_TO_RUN "About to async run -menu with cmd: "
#define QVBUITRAY_LOG_RUN_OK "Invoke qvbui.exe, QvSystem::RunCommand: "
#define QVBUITRAY_LOG_RUN_FAILED "WARNING: QvSystem::RunCommand qvbui.exe failed for: "
// An install directory that cannot stand between the command line's quotes.
#define QVBUITRAY_LOG_INSTALL_DIR_REFUSED \
    "ERROR: RunQvBuiMenuCommand, the install directory holds a double quote or a control character; qvbui.exe not started"
