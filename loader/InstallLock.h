#ifndef LOADER_INSTALLLOCK_H
#define LOADER_INSTALLLOCK_H

#include "foundation/SmallString.h"

#include <windows.h>

// Keeps two loaders of the same installation from installing at the same
// time: a named mutex per installation folder, held while this object owns it.
class CInstallLock
{
public:
    // folder: the installation's folder; only the lock's name is derived from it.
    explicit CInstallLock(const char* folder);
    // Releases the lock when held.
    ~CInstallLock();

    // Waits up to timeoutMs. True when this process now holds the lock, also
    // when its last holder ended without releasing it, and when no lock could
    // be made at all (installing unguarded then, as a single loader does).
    bool Acquire(DWORD timeoutMs);
    void Release();

    // "VanteloLoaderInstall-" and a hash of the lower-cased folder (mutex
    // names must hold no backslash).
    static CSmallString NameFor(const char* folder);

private:
    CInstallLock(const CInstallLock&);
    CInstallLock& operator=(const CInstallLock&);

    HANDLE m_mutex;
    bool m_held;
};

#endif
