#include "tests/support/ProgramRun.h"

#include <map>
#include <string.h>

namespace
{
    // The current environment with the given entries replacing or added, as a block.
    std::string EnvironmentBlock(const std::vector<std::string>& extra)
    {
        std::map<std::string, std::string> entries;
        std::vector<std::string> order;
        char* block = GetEnvironmentStringsA();
        for (const char* p = block; *p != 0; p += strlen(p) + 1)
        {
            std::string entry = p;
            size_t equals = entry.find('=', 1);
            std::string name = entry.substr(0, equals);
            std::string key = name;
            for (size_t i = 0; i < key.size(); ++i)
                key[i] = static_cast<char>(toupper(static_cast<unsigned char>(key[i])));
            if (!entries.count(key))
                order.push_back(key);
            entries[key] = entry;
        }
        FreeEnvironmentStringsA(block);
        for (size_t i = 0; i < extra.size(); ++i)
        {
            std::string key = extra[i].substr(0, extra[i].find('='));
            for (size_t j = 0; j < key.size(); ++j)
                key[j] = static_cast<char>(toupper(static_cast<unsigned char>(key[j])));
            if (!entries.count(key))
                order.push_back(key);
            entries[key] = extra[i];
        }
        std::string result;
        for (size_t i = 0; i < order.size(); ++i)
        {
            result += entries[order[i]];
            result += '\0';
        }
        result += '\0';
        return result;
    }

    struct WindowQuery
    {
        DWORD processId;
        bool visibleOnly;
        std::vector<HWND> found;
    };

    BOOL CALLBACK CollectWindow(HWND window, LPARAM context)
    {
        WindowQuery* query = reinterpret_cast<WindowQuery*>(context);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == query->processId && (!query->visibleOnly || IsWindowVisible(window)))
            query->found.push_back(window);
        return TRUE;
    }

    BOOL CALLBACK CollectChild(HWND window, LPARAM context)
    {
        reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
        return TRUE;
    }

    std::vector<HWND> Children(HWND parent)
    {
        std::vector<HWND> children;
        EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&children));
        return children;
    }
}

CProgramRun::CProgramRun() : m_process(NULL), m_processId(0)
{
}

CProgramRun::~CProgramRun()
{
    Kill();
}

bool CProgramRun::Start(const std::string& program, const std::string& commandLine, int showCommand,
                        const std::string& currentFolder, const std::vector<std::string>& environment)
{
    Kill();
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showCommand);
    PROCESS_INFORMATION info;
    memset(&info, 0, sizeof(info));
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back(0);
    std::string block = EnvironmentBlock(environment);
    BOOL started = CreateProcessA(program.c_str(), &line[0], NULL, NULL, FALSE, 0,
                                  const_cast<char*>(block.data()),
                                  currentFolder.empty() ? NULL : currentFolder.c_str(), &startup, &info);
    if (!started)
        return false;
    CloseHandle(info.hThread);
    m_process = info.hProcess;
    m_processId = info.dwProcessId;
    WaitForInputIdle(m_process, 5000);
    return true;
}

bool CProgramRun::Wait(DWORD timeoutMs)
{
    return m_process != NULL && WaitForSingleObject(m_process, timeoutMs) == WAIT_OBJECT_0;
}

bool CProgramRun::IsRunning() const
{
    return ExitCode() == STILL_ACTIVE;
}

DWORD CProgramRun::ExitCode() const
{
    DWORD code = STILL_ACTIVE;
    if (m_process != NULL)
        GetExitCodeProcess(m_process, &code);
    return code;
}

void CProgramRun::Kill()
{
    if (m_process == NULL)
        return;
    if (IsRunning())
    {
        TerminateProcess(m_process, 0xDEAD);
        WaitForSingleObject(m_process, 5000);
    }
    CloseHandle(m_process);
    m_process = NULL;
    m_processId = 0;
}

std::vector<HWND> CProgramRun::Windows(bool visibleOnly) const
{
    WindowQuery query;
    query.processId = m_processId;
    query.visibleOnly = visibleOnly;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

HWND CProgramRun::WaitForWindow(const char* className, const char* caption, DWORD timeoutMs) const
{
    DWORD start = GetTickCount();
    for (;;)
    {
        std::vector<HWND> windows = Windows();
        for (size_t i = 0; i < windows.size(); ++i)
        {
            if (className != NULL && WindowClass(windows[i]) != className)
                continue;
            if (caption != NULL && WindowText(windows[i]) != caption)
                continue;
            return windows[i];
        }
        if (GetTickCount() - start > timeoutMs || (m_process != NULL && !IsRunning()))
            return NULL;
        Sleep(50);
    }
}

std::string WindowText(HWND window)
{
    char text[8192];
    LRESULT length = SendMessageA(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text));
    return std::string(text, static_cast<size_t>(length));
}

std::string WindowClass(HWND window)
{
    char name[256];
    int length = GetClassNameA(window, name, sizeof(name));
    return std::string(name, length > 0 ? length : 0);
}

std::string MessageBoxText(HWND box)
{
    HWND text = GetDlgItem(box, 0xFFFF);
    return text != NULL ? WindowText(text) : std::string();
}

std::vector<int> DialogButtons(HWND dialog)
{
    std::vector<int> ids;
    std::vector<HWND> children = Children(dialog);
    for (size_t i = 0; i < children.size(); ++i)
    {
        if (WindowClass(children[i]) == "Button" && IsWindowVisible(children[i]))
            ids.push_back(GetDlgCtrlID(children[i]));
    }
    return ids;
}

bool MessageBoxHasIcon(HWND box)
{
    std::vector<HWND> children = Children(box);
    for (size_t i = 0; i < children.size(); ++i)
    {
        if (WindowClass(children[i]) == "Static" && IsWindowVisible(children[i]) &&
            (GetWindowLongA(children[i], GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
            SendMessageA(children[i], STM_GETICON, 0, 0) != 0)
            return true;
    }
    return false;
}

void PressButton(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (IsWindow(window))
    {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(50);
    }
    return true;
}

bool WaitForText(HWND control, const std::string& text, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (WindowText(control) != text)
    {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(50);
    }
    return true;
}
