#include "foundation/StoreABC.h"

CStoreABC::CStoreABC(bool reading)
    : m_reading(reading), m_storedLong(0)
{
}

CStoreABC::~CStoreABC()
{
}

int CStoreABC::ReadStoredLong(bool reread)
{
    if (reread || m_storedLong == 0)
    {
        // A failed read leaves the remembered value as it was.
        int value = 0;
        Read(&value, sizeof(value));
        m_storedLong = value;
    }
    return m_storedLong;
}

void CStoreABC::WriteStoredLong(int value)
{
    m_storedLong = value;
    Write(&value, sizeof(value));
}
