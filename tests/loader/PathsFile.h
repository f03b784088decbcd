#ifndef TESTS_LOADER_PATHSFILE_H
#define TESTS_LOADER_PATHSFILE_H

#include <string>
#include <vector>

// One entry of a "paths.dat" or "user-paths.dat" file; an empty type leaves
// the attribute out.
struct SPathsEntry
{
    std::string name;
    std::string path;
    std::string type;
};

SPathsEntry FolderEntry(const std::string& name, const std::string& path);
SPathsEntry RouteEntry(const std::string& extension, const std::string& folderName);

// The XML text of a configuration file holding the entries.
std::string PathsText(const std::vector<SPathsEntry>& entries);
void WritePathsFile(const std::string& file, const std::vector<SPathsEntry>& entries);

#endif
