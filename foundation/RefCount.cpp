#include "foundation/RefCount.h"

void CRefCount::Release()
{
    if (InterlockedDecrement(&m_count) == 0)
        delete this;
}

CRefCount::~CRefCount()
{
}
