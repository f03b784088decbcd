// VanteloProblemReporter: started by the application after it has failed,
// with the crash folder as the option -F=<folder>.
#include "foundation/CommandLine.h"
#include "reporter/CrashReportManager.h"
#include "reporter/ReporterDialog.h"
#include "reporter/ReporterResources.h"

#include <commctrl.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    INT_PTR result = 0;
    {
        // An empty or missing folder is dealt with by Send and by the dialog's end.
        CCommandLine commandLine(GetCommandLineA());
        g_crashReportManager.m_crashFolder = commandLine.m_crashFolder;

        INITCOMMONCONTROLSEX controls;
        controls.dwSize = sizeof(controls);
        controls.dwICC = ICC_PROGRESS_CLASS;
        InitCommonControlsEx(&controls);

        result = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_REPORTER), NULL, ReporterDialogProc, 0);
    }
    return static_cast<int>(result);
}
