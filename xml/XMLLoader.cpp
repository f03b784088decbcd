#include "xml/XMLLoader.h"

#include "foundation/FileSystem.h"
#include "xml/XMLException.h"
#include "xml/XMLParseContext.h"

#include <windows.h>

#include <limits.h>
#include <new>
#include <stdio.h>
#include <string.h>

namespace TQXML
{
    namespace
    {
        class CFile
        {
        public:
            explicit CFile(FILE* file) : m_file(file) {}
            ~CFile() { if (m_file != 0) fclose(m_file); }
            FILE* Get() const { return m_file; }

        private:
            CFile(const CFile&);
            CFile& operator=(const CFile&);

            FILE* m_file;
        };
    }

    bool LoadFile(const char* path, CRefCount::CPtr<CXMLNode>& root, EParseFailure failure)
    {
        if (!FileExists(path))
            return false;
        CSmallString text;
        if (!ReadFileToString(path, text))
            return false;
        return LoadBuffer(text, text.GetLength(), root, failure);
    }

    bool ReadFileToString(const char* path, CSmallString& text)
    {
        if (path == 0)
            return false;
        CFile file(fopen(path, "rb"));
        if (file.Get() == 0)
            return false;

        WIN32_FIND_DATAA entry;
        HANDLE search = FindFirstFileA(path, &entry);
        if (search == INVALID_HANDLE_VALUE)
            return true;
        FindClose(search);
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            return false;

        // The text must fit the string's length with its terminator.
        unsigned long long size = (static_cast<unsigned long long>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
        if (size >= static_cast<unsigned long long>(INT_MAX))
            return false;
        int length = static_cast<int>(size);

        char* buffer = 0;
        try
        {
            buffer = text.PrepareBuffer(length + 1);
        }
        catch (const std::bad_alloc&)
        {
            return false;
        }
        bool result = true;
        size_t read = 0;
        if (length != 0)
        {
            read = fread(buffer, 1, static_cast<size_t>(length), file.Get());
            if (read == 0)
                result = false;
        }
        // A file that shrank since its size was taken gives only what was read.
        text.CommitBuffer(static_cast<int>(read));
        return result;
    }

    bool LoadBuffer(const char* text, int length, CRefCount::CPtr<CXMLNode>& root, EParseFailure failure)
    {
        root = new CXMLNode();
        CXMLParseContext context(root.Get());
        if (text != 0 && length < 0)
            length = static_cast<int>(strlen(text));
        if (context.Parse(text, length))
            return true;

        root.Reset();
        if (failure == RaiseOnError)
            throw new CException(context.GetErrorMessage());
        return false;
    }
}
