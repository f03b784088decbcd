#include "loader/InstallLock.h"

CInstallLock::CInstallLock(const char* folder) : m_mutex(NULL), m_held(false)
{
    m_mutex = CreateMutexA(NULL, FALSE, NameFor(folder));
}

CInstallLock::~CInstallLock()
{
    Release();
    if (m_mutex != NULL)
        CloseHandle(m_mutex);
}

bool CInstallLock::Acquire(DWORD timeoutMs)
{
    if (m_held)
        return true;
    if (m_mutex == NULL)
        return true;
    DWORD result = WaitForSingleObject(m_mutex, timeoutMs);
    // An abandoned mutex is owned now: its loader was ended part-way.
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED)
        m_held = true;
    return m_held;
}

void CInstallLock::Release()
{
    if (!m_held)
        return;
    ReleaseMutex(m_mutex);
    m_held = false;
}

CSmallString CInstallLock::NameFor(const char* folder)
{
    CSmallString lower(folder);
    int length = lower.GetLength();
    if (length > 0)
    {
        char* text = lower.PrepareBuffer(length);
        CharLowerBuffA(text, static_cast<DWORD>(length));
        lower.CommitBuffer(length);
    }
    // FNV-1a over the bytes.
    unsigned int hash = 2166136261u;
    for (const char* p = lower; *p != 0; ++p)
    {
        hash ^= static_cast<unsigned char>(*p);
        hash *= 16777619u;
    }
    CSmallString name;
    name.Format("VanteloLoaderInstall-%08X", hash);
    return name;
}
