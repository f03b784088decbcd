#include "reporter/LoadFileBytes.h"
#include "foundation/BaseException.h"
#include "foundation/FileStore.h"

bool LoadFileBytes(const char* path, Container::CArray<unsigned char>& bytes)
{
    try
    {
        CFileStore store(path, CFileStore::StoreRead);
        int length = store.GetLength();
        bytes.SetSize(static_cast<unsigned int>(length));
        store.Read(bytes.GetData(), length);
        store.Close();
        return true;
    }
    catch (CBaseException* exception)
    {
        exception->Dispose();
        return false;
    }
}
