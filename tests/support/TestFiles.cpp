#include "tests/support/TestFiles.h"

#include <windows.h>

#include <algorithm>
#include <stdio.h>
#include <stdexcept>

void WriteTextFile(const std::string& path, const std::string& contents)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (f == NULL)
        throw std::runtime_error("cannot write " + path);
    fwrite(contents.data(), 1, contents.size(), f);
    fclose(f);
}

std::string ReadTextFile(const std::string& path)
{
    FILE* f = fopen(path.c_str(), "rb");
    if (f == NULL)
        return std::string();
    std::string result;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), f)) > 0)
        result.append(buffer, n);
    fclose(f);
    return result;
}

bool PathExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void MakeFolder(const std::string& path)
{
    if (!CreateDirectoryA(path.c_str(), NULL) && !IsFolder(path))
        throw std::runtime_error("cannot create " + path);
}

void CopyInto(const std::string& source, const std::string& destination)
{
    if (!CopyFileA(source.c_str(), destination.c_str(), FALSE))
        throw std::runtime_error("cannot copy " + source + " to " + destination);
}

void RemoveTree(const std::string& path)
{
    std::string folder = path;
    if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/'))
        folder.pop_back();
    DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_NORMAL | (attributes & FILE_ATTRIBUTE_DIRECTORY));
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
    {
        DeleteFileA(folder.c_str());
        return;
    }
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    {
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE)
        {
            do
            {
                std::string name = data.cFileName;
                if (name != "." && name != "..")
                    RemoveTree(folder + "\\" + name);
            } while (FindNextFileA(find, &data));
            FindClose(find);
        }
    }
    RemoveDirectoryA(folder.c_str());
}

std::vector<std::string> ListFolder(const std::string& folder)
{
    std::vector<std::string> names;
    std::string pattern = folder;
    if (!pattern.empty() && pattern.back() != '\\')
        pattern += '\\';
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((pattern + "*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE)
    {
        do
        {
            std::string name = data.cFileName;
            if (name != "." && name != "..")
                names.push_back(name);
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string BinFolder()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, sizeof(path));
    std::string result(path, length);
    return result.substr(0, result.find_last_of('\\') + 1);
}

std::vector<std::pair<std::string, std::string> > ReadRecord(const std::string& path)
{
    std::vector<std::pair<std::string, std::string> > result;
    std::string text = ReadTextFile(path);
    size_t start = 0;
    while (start < text.size())
    {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        size_t equals = line.find('=');
        if (equals != std::string::npos)
            result.push_back(std::make_pair(line.substr(0, equals), line.substr(equals + 1)));
        start = end + 1;
    }
    return result;
}

std::string RecordValue(const std::string& path, const std::string& key)
{
    std::vector<std::pair<std::string, std::string> > record = ReadRecord(path);
    for (size_t i = 0; i < record.size(); ++i)
    {
        if (record[i].first == key)
            return record[i].second;
    }
    return std::string();
}
