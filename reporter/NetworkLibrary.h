#ifndef REPORTER_NETWORKLIBRARY_H
#define REPORTER_NETWORKLIBRARY_H

#include "reporter/NetworkInterfaceABC.h"

// The network library "Network.dll", loaded at run time from the program's
// own folder and never from the search path. Once loaded it stays loaded for
// the life of the process, since the transfer objects' code lives in it.
class CNetworkLibrary
{
public:
    // The factory (export ordinal 1), or null when the library or the export
    // is missing. A failed load is tried again at the next call.
    static CreateNetworkInterfaceProc GetFactory();

private:
    CNetworkLibrary();
};

#endif
