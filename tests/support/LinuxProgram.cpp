#include "tests/support/LinuxProgram.h"

#include <string.h>

std::string UnixPath(const std::string& windowsPath)
{
    typedef char*(CDECL * UnixFileName)(LPCWSTR);
    UnixFileName convert = reinterpret_cast<UnixFileName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (convert == NULL)
        return std::string();
    WCHAR wide[MAX_PATH * 4];
    if (MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH * 4) == 0)
        return std::string();
    char* unix = convert(wide);
    if (unix == NULL)
        return std::string();
    std::string result = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

bool StartLinuxProgram(const std::string& unixProgram, const std::string& arguments)
{
    std::string program = "Z:" + unixProgram;
    for (size_t i = 0; i < program.size(); ++i)
    {
        if (program[i] == '/')
            program[i] = '\\';
    }
    std::string commandLine = "\"" + program + "\" " + arguments;
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    memset(&process, 0, sizeof(process));
    if (!CreateProcessA(program.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return false;
    if (process.hProcess != NULL)
        CloseHandle(process.hProcess);
    if (process.hThread != NULL)
        CloseHandle(process.hThread);
    return true;
}

bool WaitForPath(const std::string& windowsPath, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;)
    {
        if (GetFileAttributesA(windowsPath.c_str()) != INVALID_FILE_ATTRIBUTES)
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(20);
    }
}

CLinuxLink::CLinuxLink(const std::string& target, const std::string& link)
    : m_link(link), m_made(false)
{
    std::string unixTarget = UnixPath(target);
    std::string unixLink = UnixPath(link);
    if (!unixTarget.empty() && !unixLink.empty())
        m_made = StartLinuxProgram("/bin/ln", "-s \"" + unixTarget + "\" \"" + unixLink + "\"") && WaitForPath(link, 30000);
}

CLinuxLink::~CLinuxLink()
{
    std::string unixLink = UnixPath(m_link);
    if (unixLink.empty() || !StartLinuxProgram("/bin/rm", "-f \"" + unixLink + "\""))
        return;
    // Gone, or left dangling by a test that removed its target.
    DWORD start = GetTickCount();
    while (GetFileAttributesA(m_link.c_str()) != INVALID_FILE_ATTRIBUTES && GetTickCount() - start < 30000)
        Sleep(20);
}
