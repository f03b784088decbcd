#include "foundation/DllSearchPath.h"
#include "foundation/FileSystem.h"
#include "launcher/VanteloInterface.h"

#include <string.h>

namespace
{
    const char kLibraryName[] = "vantelo.dll";

    // The library is only ever loaded by the full path beside this program.
    HMODULE LoadApplicationLibrary(HINSTANCE instance)
    {
        char path[520];
        int folderEnd = GetModuleFolder(instance, path, sizeof(path));
        if (folderEnd == 0)
            return NULL;
        size_t length = strlen(path);
        if (length + sizeof(kLibraryName) > sizeof(path))
            return NULL;
        memcpy(path + length, kLibraryName, sizeof(kLibraryName));
        return LoadLibraryA(path);
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    RemoveCurrentDirectoryFromDllSearchPath();

    HMODULE library = LoadApplicationLibrary(instance);
    if (library == NULL)
    {
        MessageBoxA(NULL, "Failed to load vantelo.dll", "Vantelo failed to run", MB_OK);
        return 0;
    }

    ShowVanteloInterfaceProc show = reinterpret_cast<ShowVanteloInterfaceProc>(
        reinterpret_cast<void*>(GetProcAddress(library, VANTELO_ENTRY_EXPORT)));
    if (show != NULL)
        show(instance, showCommand);
    return 0;
}
