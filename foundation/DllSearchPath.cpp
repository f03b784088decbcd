#include "foundation/DllSearchPath.h"

#include <windows.h>

void RemoveCurrentDirectoryFromDllSearchPath()
{
    typedef BOOL(WINAPI * SetDllDirectoryProc)(LPCSTR);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel == NULL)
        return;
    SetDllDirectoryProc setDllDirectory =
        reinterpret_cast<SetDllDirectoryProc>(reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryA")));
    if (setDllDirectory != NULL)
        setDllDirectory("");
}
