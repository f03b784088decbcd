#include "tests/support/TempFolder.h"
#include "tests/support/TestFiles.h"

#include <windows.h>

#include <stdio.h>

CTempFolder::CTempFolder()
{
    char base[MAX_PATH];
    GetTempPathA(sizeof(base), base);
    static unsigned sequence = 0;
    for (;;)
    {
        char name[MAX_PATH];
        snprintf(name, sizeof(name), "%svt%lu-%u-%lu\\", base, GetCurrentProcessId(), ++sequence, GetTickCount());
        if (CreateDirectoryA(name, NULL))
        {
            m_path = name;
            break;
        }
    }
}

CTempFolder::~CTempFolder()
{
    RemoveTree(m_path);
}
