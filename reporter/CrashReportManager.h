#ifndef REPORTER_CRASHREPORTMANAGER_H
#define REPORTER_CRASHREPORTMANAGER_H

#include <windows.h>

#include "foundation/Array.h"
#include "foundation/SmallString.h"
#include "reporter/NetworkInterfaceABC.h"
#include "reporter/NetworkInterfaceCallbackABC.h"

// The reporter's whole state: the dialog's fonts, the crash folder, the
// running upload and the flags that the dialog decides by. There is one
// object, g_crashReportManager; everything but the notifications runs on the
// user-interface thread.
//
// The notifications may come from a thread of the network library: they touch
// the dialog only through window messages and read or write single-byte flags.
class CCrashReportManager : public CNetworkInterfaceCallbackABC
{
public:
    CCrashReportManager();
    virtual ~CCrashReportManager();

    // The transfer has ended, successfully or not: the button becomes "Close"
    // and the progress bar full. The outcome comes from the next poll.
    virtual bool OnTransferEnded(int id, int succeeded, int status, int error);
    virtual bool OnTransferEndedEx(int id, int succeeded, int status, int error, int extra);
    virtual bool OnNotify(int id, int code, int value);
    virtual bool OnNotifyEx(int id, int code, int value, int extra);
    // Moves the progress bar; answers false once the user has asked to stop.
    virtual bool OnProgress(int id, int phase, int bytesTotal, int bytesSoFar);

    // Packs the crash folder and starts its upload (Send). Returns when the
    // upload runs, when an outcome message has ended the report, or when the
    // upload could not be started (the dialog then stays busy with "Stop").
    void SendReport(HWND dialog);

    // Runs on every timer message: once the transfer has finished or failed,
    // stops the timer and shows the outcome.
    void PollTransfer();
    // Cancels the transfer, waits until it has finished and releases it.
    void StopTransfer();
    // The outcome messages; each destroys the dialog after the user's OK.
    void ShowSentMessage();
    void ShowCancelledMessage();
    // Whatever way the dialog goes: stops the upload, deletes the fonts, the
    // archive and (when it holds "crashinfo.dat") the crash folder.
    void OnDialogDestroyed();

    // Every byte but an ASCII letter or digit becomes "%" and two lower-case
    // hexadecimal digits.
    static void UrlEscape(CSmallString& text);
    static void GetWindowString(HWND window, CSmallString& text);
    // A few connection attempts to the report server, so that a dial-up or
    // sleeping link is up before the upload. Nothing is sent.
    static void WarmUpConnection();
    // True when the path names no folder below a drive or a share ("", "C:",
    // "C:\", "\", "\\server\share"): such a crash folder is never deleted, as
    // that would empty a whole disk.
    static bool IsRootFolder(const char* path);

    HFONT m_headlineFont;
    HFONT m_messageFont;
    HFONT m_promptFont;
    // Without a trailing backslash.
    CSmallString m_crashFolder;
    HWND m_dialog;
    // Owned: released only by StopTransfer.
    CNetworkInterfaceABC* m_transfer;
    // Single bytes: the notifications' threads read or write them without a lock.
    volatile bool m_busy;
    volatile bool m_cancelRequested;
    volatile bool m_transferEnded;
    unsigned int m_archiveSize;
    UINT_PTR m_timerId;
    // The crash folder followed by ".zip"; empty before the first Send.
    CSmallString m_archivePath;

private:
    CCrashReportManager(const CCrashReportManager&);
    CCrashReportManager& operator=(const CCrashReportManager&);

    void OnEndNotification();
    void ShowOutcome(const char* text);
    void KillPollTimer();
    // Reads key, em, build and ver; they stay empty when the file cannot be used.
    void ReadCrashDescription(CSmallString& key, CSmallString& em, CSmallString& build, CSmallString& ver) const;
    void LockDescriptionBox() const;
    // Packs the crash folder into the archive and reads it back; false when
    // there is nothing complete to send.
    bool PrepareArchive(Container::CArray<unsigned char>& bytes);
    // Creates the transfer object and starts the upload with the request's
    // values (the escaped ones already escaped).
    void StartUpload(const CSmallString& key, const CSmallString& em, const CSmallString& build,
                     const CSmallString& ver, const CSmallString& description,
                     const Container::CArray<unsigned char>& bytes);
    // The part of the URL before the path: the server's host, and its port unless it is 80.
    static CSmallString GetServerAuthority();
    // The crash folder's own name, from the archive path.
    void GetLeafName(char* leaf, int size) const;
    bool HasCrashFolderToDelete() const;
};

// The one object, constructed during static initialisation.
extern CCrashReportManager g_crashReportManager;

// The timer identifier that means "no timer".
const UINT_PTR kNoTimer = static_cast<UINT_PTR>(-1);

#endif
