#include "reporter/CrashReportManager.h"

#include "foundation/FileSystem.h"
#include "foundation/ResString.h"
#include "reporter/ReporterResources.h"

#include <commctrl.h>

CCrashReportManager g_crashReportManager;

namespace
{
    const char kSentText[] =
        "Problem Report Has Been Sent.\n\nThank you for helping us make Vantelo better,\nyour feedback is really "
        "valuable to us and\nreally helps us make Vantelo a better product.\n\nPress OK to close.";
    const char kCancelledText[] =
        "Problem Report Has Been Cancelled.\n\nSending us these problem reports really does help us\nmake Vantelo "
        "better, we do look into every one to\ntry and track down any possible problems.\n\nPress OK to close.";
    const DWORD kStopPollMs = 100;

    bool IsSeparator(char c)
    {
        return c == '\\' || c == '/';
    }
}

bool CCrashReportManager::IsRootFolder(const char* path)
{
    const char* rest = path;
    if (rest[0] != '\0' && rest[1] == ':')
    {
        rest += 2;
    }
    else if (IsSeparator(rest[0]) && IsSeparator(rest[1]))
    {
        rest += 2;
        for (int part = 0; part < 2; ++part)
        {
            while (*rest != '\0' && !IsSeparator(*rest))
                rest = CharNextA(rest);
            while (IsSeparator(*rest))
                ++rest;
        }
    }
    while (IsSeparator(*rest))
        ++rest;
    return *rest == '\0';
}

CCrashReportManager::CCrashReportManager()
    : m_headlineFont(NULL), m_messageFont(NULL), m_promptFont(NULL), m_dialog(NULL), m_transfer(NULL),
      m_busy(false), m_cancelRequested(false), m_transferEnded(false), m_archiveSize(0), m_timerId(kNoTimer)
{
}

CCrashReportManager::~CCrashReportManager()
{
}

bool CCrashReportManager::OnTransferEnded(int, int, int, int)
{
    OnEndNotification();
    return true;
}

bool CCrashReportManager::OnTransferEndedEx(int, int, int, int, int)
{
    OnEndNotification();
    return true;
}

bool CCrashReportManager::OnNotify(int, int, int)
{
    return true;
}

bool CCrashReportManager::OnNotifyEx(int, int, int, int)
{
    return true;
}

bool CCrashReportManager::OnProgress(int, int, int, int bytesSoFar)
{
    SendMessageA(GetDlgItem(m_dialog, IDC_PROGRESS), PBM_SETPOS, static_cast<WPARAM>(bytesSoFar), 0);
    // Read after the message: a Stop being handled on the dialog's thread has set it by then.
    return !m_cancelRequested;
}

void CCrashReportManager::OnEndNotification()
{
    SetWindowTextA(GetDlgItem(m_dialog, IDC_ACTION), "Close");
    m_transferEnded = true;
    SendMessageA(GetDlgItem(m_dialog, IDC_PROGRESS), PBM_SETPOS, static_cast<WPARAM>(m_archiveSize), 0);
}

void CCrashReportManager::PollTransfer()
{
    if (m_transfer != NULL && !m_transfer->IsFinished() && !m_transfer->HasFailed())
        return;
    m_busy = false;
    KillPollTimer();
    // Released only when the dialog goes, after the message.
    if (m_transfer != NULL && !m_transfer->HasFailed())
        ShowSentMessage();
    else
        ShowCancelledMessage();
}

void CCrashReportManager::KillPollTimer()
{
    if (m_timerId == kNoTimer)
        return;
    KillTimer(m_dialog, m_timerId);
    m_timerId = kNoTimer;
}

void CCrashReportManager::StopTransfer()
{
    if (m_transfer == NULL)
        return;
    m_transfer->Cancel();
    while (!m_transfer->IsFinished())
        Sleep(kStopPollMs);
    m_transfer->Release();
    m_transfer = NULL;
}

void CCrashReportManager::ShowSentMessage()
{
    ShowOutcome(kSentText);
}

void CCrashReportManager::ShowCancelledMessage()
{
    ShowOutcome(kCancelledText);
}

void CCrashReportManager::ShowOutcome(const char* text)
{
    CResString caption(IDS_REPORTER_CAPTION);
    MessageBoxA(m_dialog, text, caption.GetText(), MB_OK | MB_ICONINFORMATION);
    DestroyWindow(m_dialog);
}

void CCrashReportManager::OnDialogDestroyed()
{
    m_cancelRequested = true;
    StopTransfer();
    m_busy = false;
    HFONT* fonts[] = {&m_headlineFont, &m_messageFont, &m_promptFont};
    for (unsigned int i = 0; i < sizeof(fonts) / sizeof(fonts[0]); ++i)
    {
        if (*fonts[i] != NULL)
        {
            DeleteObject(*fonts[i]);
            *fonts[i] = NULL;
        }
    }
    if (FileExists(m_archivePath))
        DeleteFileA(m_archivePath);
    if (HasCrashFolderToDelete())
        DeleteDirectoryTree(m_crashFolder);
}

bool CCrashReportManager::HasCrashFolderToDelete() const
{
    return !m_crashFolder.IsEmpty() && !IsRootFolder(m_crashFolder) && FileExists(m_crashFolder + "\\crashinfo.dat");
}
