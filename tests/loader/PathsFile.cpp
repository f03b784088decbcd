#include "tests/loader/PathsFile.h"

#include "tests/support/TestFiles.h"

SPathsEntry FolderEntry(const std::string& name, const std::string& path)
{
    SPathsEntry entry = {name, path, "1"};
    return entry;
}

SPathsEntry RouteEntry(const std::string& extension, const std::string& folderName)
{
    SPathsEntry entry = {extension, folderName, "2"};
    return entry;
}

std::string PathsText(const std::vector<SPathsEntry>& entries)
{
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<paths>\n";
    for (size_t i = 0; i < entries.size(); ++i)
    {
        text += "  <path name=\"" + entries[i].name + "\" path=\"" + entries[i].path + "\"";
        if (!entries[i].type.empty())
            text += " type=\"" + entries[i].type + "\"";
        text += "/>\n";
    }
    text += "</paths>\n";
    return text;
}

void WritePathsFile(const std::string& file, const std::vector<SPathsEntry>& entries)
{
    WriteTextFile(file, PathsText(entries));
}
