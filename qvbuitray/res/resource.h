// Resource identifiers of qvbuitray, shared by the resource script and the program.
// Plain #defines only: the resource compiler reads this file too.
#pragma once

#define IDS_APP_TITLE 103  // string: main window title "qvbuitray"
#define IDD_ABOUTBOX 103   // dialog: the About box
#define IDM_ABOUT 104      // command: show the About box
#define IDM_EXIT 105       // command: end the program
#define IDC_QVBUITRAY 109  // string (main window class "QVBUITRAY"), menu, accelerators
#define IDI_QVBUITRAY 110  // icon group: the program icon

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
