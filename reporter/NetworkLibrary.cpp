#include "reporter/NetworkLibrary.h"

#include "foundation/FileSystem.h"

#include <string.h>

namespace
{
    const char kLibraryName[] = "Network.dll";
    const WORD kFactoryOrdinal = 1;

    HMODULE g_library = NULL;
}

CreateNetworkInterfaceProc CNetworkLibrary::GetFactory()
{
    if (g_library == NULL)
    {
        char path[MAX_PATH];
        int end = GetModuleFolder(NULL, path, sizeof(path));
        if (end == 0 || end + 1 + sizeof(kLibraryName) > sizeof(path))
            return NULL;
        memcpy(path + end + 1, kLibraryName, sizeof(kLibraryName));
        // Its own dependencies are looked for beside it too.
        g_library = LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
        if (g_library == NULL)
            return NULL;
    }
    FARPROC factory = GetProcAddress(g_library, MAKEINTRESOURCEA(kFactoryOrdinal));
    return reinterpret_cast<CreateNetworkInterfaceProc>(reinterpret_cast<void*>(factory));
}
