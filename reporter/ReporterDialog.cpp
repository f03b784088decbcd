#include "reporter/ReporterDialog.h"

#include "foundation/WindowHelpers.h"
#include "reporter/CrashReportManager.h"
#include "reporter/ReporterResources.h"

namespace
{
    const COLORREF kHeadlineColour = RGB(0x00, 0x33, 0xBC);
    const UINT kTopmostFlags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOOWNERZORDER;

    struct SFontSetting
    {
        int controlId;
        HFONT CCrashReportManager::*field;
        int height;
        int weight;
    };

    const SFontSetting kFonts[] = {
        {IDC_HEADLINE, &CCrashReportManager::m_headlineFont, 20, 500},
        {IDC_EXPLANATION, &CCrashReportManager::m_messageFont, 14, 400},
        {IDC_PROMPT, &CCrashReportManager::m_promptFont, 14, 400},
    };

    INT_PTR BrushResult(int stockBrush)
    {
        return reinterpret_cast<INT_PTR>(GetStockObject(stockBrush));
    }

    void OnInitDialog(HWND dialog)
    {
        CentreWindow(GetDesktopWindow(), dialog);
        SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, kTopmostFlags);
        SetWindowIcon(dialog, IDI_REPORTER);
        for (unsigned int i = 0; i < sizeof(kFonts) / sizeof(kFonts[0]); ++i)
        {
            HWND control = GetDlgItem(dialog, kFonts[i].controlId);
            if (control == NULL)
                continue;
            // A font that cannot be made still goes out: the control then draws in the system font.
            HFONT font = CreateFontA(kFonts[i].height, 0, 0, 0, kFonts[i].weight, FALSE, FALSE, FALSE,
                                     DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                                     VARIABLE_PITCH, "Segoe UI");
            g_crashReportManager.*kFonts[i].field = font;
            SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        }
    }

    INT_PTR OnControlColour(HWND dialog, HDC dc, HWND control)
    {
        if (control == GetDlgItem(dialog, IDC_HEADLINE))
        {
            SetTextColor(dc, kHeadlineColour);
        }
        else if (control == GetDlgItem(dialog, IDC_DESCRIPTION) && !IsWindowEnabled(control))
        {
            COLORREF face = GetSysColor(COLOR_BTNFACE);
            SetDCBrushColor(dc, face);
            SetBkColor(dc, face);
            SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
            return BrushResult(DC_BRUSH);
        }
        return BrushResult(WHITE_BRUSH);
    }

    void OnActionButton(HWND dialog)
    {
        CCrashReportManager& manager = g_crashReportManager;
        if (manager.m_busy)
        {
            // The next poll decides the outcome.
            if (manager.m_transfer != NULL)
                manager.m_transfer->Cancel();
            manager.m_cancelRequested = true;
        }
        else if (manager.m_transferEnded)
        {
            DestroyWindow(dialog);
        }
        else
        {
            manager.SendReport(dialog);
        }
    }
}

INT_PTR CALLBACK ReporterDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_INITDIALOG:
        OnInitDialog(dialog);
        return TRUE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
        return OnControlColour(dialog, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_CTLCOLORDLG:
        return BrushResult(WHITE_BRUSH);
    case WM_COMMAND:
        switch (LOWORD(wParam))
        {
        case IDCANCEL:
            DestroyWindow(dialog);
            return TRUE;
        case IDC_ACTION:
            OnActionButton(dialog);
            return FALSE;
        default:
            return TRUE;
        }
    case WM_TIMER:
        g_crashReportManager.PollTransfer();
        return FALSE;
    case WM_CLOSE:
        DestroyWindow(dialog);
        return TRUE;
    case WM_DESTROY:
        g_crashReportManager.OnDialogDestroyed();
        PostQuitMessage(0);
        return TRUE;
    default:
        return FALSE;
    }
}
