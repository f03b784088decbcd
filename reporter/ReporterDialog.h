#ifndef REPORTER_REPORTERDIALOG_H
#define REPORTER_REPORTERDIALOG_H

#include <windows.h>

// The procedure of the reporter's dialog (template IDD_REPORTER). It keeps no
// state of its own: it decides by the flags of g_crashReportManager. The
// dialog is only ever ended with DestroyWindow, whose WM_DESTROY cleans up
// and posts the quit message that ends the modal loop.
INT_PTR CALLBACK ReporterDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif
