#ifndef TESTS_REPORTER_REPORTERSESSION_H
#define TESTS_REPORTER_REPORTERSESSION_H

#include "tests/support/ProgramRun.h"
#include "tests/support/TempFolder.h"

#include <windows.h>

#include <string>
#include <vector>

// One run of the real reporter, installed in a folder of its own with the
// chosen "Network.dll" beside it, on a crash folder named "crash.1" in the
// same temporary folder. Drives the dialog as a user would.
class CReporterSession
{
public:
    enum ENetwork
    {
        // The stand-in that uploads to the report server.
        kStandIn,
        // The scripted test library; its record is RecordPath().
        kScripted,
        // No "Network.dll" at all.
        kNoLibrary
    };

    explicit CReporterSession(ENetwork network, const std::string& script = std::string());

    // Without a trailing backslash, as the option passes it.
    const std::string& CrashFolder() const { return m_crashFolder; }
    std::string ArchivePath() const { return m_crashFolder + ".zip"; }
    const std::string& RecordPath() const { return m_recordPath; }
    const CTempFolder& Folder() const { return m_folder; }

    // Creates the crash folder, with "crashinfo.dat" holding the text unless it is null.
    void MakeCrashFolder(const char* crashInfo);
    void WriteCrashFile(const std::string& relativePath, const std::string& contents);

    // Starts the reporter with the arguments after its path; true when its dialog is up.
    bool Start(const std::string& arguments);
    // Starts it on the crash folder (-F=<folder>).
    bool StartOnCrashFolder();

    HWND Dialog() const { return m_dialog; }
    HWND Control(int id) const { return GetDlgItem(m_dialog, id); }
    std::string ButtonText() const;
    void TypeDescription(const std::string& text);
    void PressAction() { PressButton(m_dialog, 110); }
    // Returns once the reporter has handled every message posted to it
    // before, such as a press of the button: Send has returned by then.
    void Sync() const;

    // The reporter's message box owned by the dialog, or null on time-out.
    HWND WaitForMessageBox(DWORD timeoutMs = 60000) const;
    // A message box of the reporter that is up now, or null.
    HWND FindMessageBox() const;
    // Presses OK and waits for the program to end; answers its exit code.
    DWORD PressOkAndWaitForExit(HWND box);
    // Waits for the program to end; answers its exit code, STILL_ACTIVE on time-out.
    DWORD WaitForExit(DWORD timeoutMs = 60000);

    // The record's lines, in order.
    std::vector<std::string> RecordLines() const;
    // Waits until a line of the record begins with the prefix.
    bool WaitForRecord(const std::string& prefix, DWORD timeoutMs = 60000) const;

    CProgramRun& Run() { return m_run; }

private:
    CReporterSession(const CReporterSession&);
    CReporterSession& operator=(const CReporterSession&);

    CTempFolder m_folder;
    std::string m_program;
    std::string m_crashFolder;
    std::string m_recordPath;
    std::vector<std::string> m_environment;
    CProgramRun m_run;
    HWND m_dialog;
};

// The names of a zip archive's entries, from its central directory; empty
// when the bytes are not a zip archive.
std::vector<std::string> ZipEntryNames(const std::string& archive);

// Bytes that do not compress, so that the archive is about as large as they are.
std::string RandomBytes(size_t count, unsigned seed);

#endif
