#ifndef LAUNCHER_VANTELOINTERFACE_H
#define LAUNCHER_VANTELOINTERFACE_H

#include <windows.h>

// The entry export of "vantelo.dll". The application runs inside this call,
// which returns only when the application has finished; its result is not used.
typedef int(WINAPI* ShowVanteloInterfaceProc)(HINSTANCE instance, int showCommand);

#define VANTELO_ENTRY_EXPORT "ShowVanteloInterface"

#endif
