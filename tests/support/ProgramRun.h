#ifndef TESTS_SUPPORT_PROGRAMRUN_H
#define TESTS_SUPPORT_PROGRAMRUN_H

#include <windows.h>

#include <string>
#include <vector>

// One run of a real program under test: started with a chosen command line,
// show-window value, current folder and extra environment variables; its
// windows can be found while it runs, and its exit code read when it ends.
// A program still running when the object goes is killed.
class CProgramRun
{
public:
    CProgramRun();
    ~CProgramRun();

    // environment: "NAME=value" entries added to (or replacing) this process's.
    bool Start(const std::string& program, const std::string& commandLine, int showCommand = SW_SHOWNORMAL,
               const std::string& currentFolder = std::string(),
               const std::vector<std::string>& environment = std::vector<std::string>());
    // Waits up to timeoutMs; answers false when the program is still running.
    bool Wait(DWORD timeoutMs);
    bool IsRunning() const;
    // STILL_ACTIVE while running.
    DWORD ExitCode() const;
    DWORD ProcessId() const { return m_processId; }
    void Kill();

    // Top-level windows of the process, visible ones only unless asked.
    std::vector<HWND> Windows(bool visibleOnly = true) const;
    // Waits for a visible top-level window of the given class ("#32770" for
    // dialogs and message boxes), optionally with the given caption.
    HWND WaitForWindow(const char* className, const char* caption, DWORD timeoutMs) const;

private:
    CProgramRun(const CProgramRun&);
    CProgramRun& operator=(const CProgramRun&);

    HANDLE m_process;
    DWORD m_processId;
};

// What a test reads of a window.
std::string WindowText(HWND window);
std::string WindowClass(HWND window);
// The message box's text (its static text control).
std::string MessageBoxText(HWND box);
// The identifiers of the visible buttons of a dialog or message box.
std::vector<int> DialogButtons(HWND dialog);
// True when a message box shows an icon.
bool MessageBoxHasIcon(HWND box);
// Presses a dialog's button as a click does; the press is handled asynchronously.
void PressButton(HWND dialog, int id);
// Waits until the window is gone; false on time-out.
bool WaitForWindowGone(HWND window, DWORD timeoutMs);
// Waits until the control's text equals the given one; false on time-out.
bool WaitForText(HWND control, const std::string& text, DWORD timeoutMs);

#endif
