#ifndef LOADER_PATHS_H
#define LOADER_PATHS_H

#include "foundation/Map.h"
#include "foundation/SmallString.h"

// The loader's registry of named folders, filled from "paths.dat" and
// "user-paths.dat". Creating it with a base folder publishes that folder and
// a few shell folders to the process's environment (VTDIR, APP, USER_APPDATA,
// APPDATA, CSIDL_MYVIDEO), so that the configuration files and the programs
// that the loader starts can refer to them.
class CPaths
{
public:
    enum EntryType
    {
        PlainPath = 0,
        Folder = 1,
        ExtensionRoute = 2
    };

    // One named entry. A folder entry's path always ends in a backslash.
    class CPathMapping
    {
    public:
        CPathMapping() : m_type(PlainPath), m_creationTried(false) {}

        CSmallString m_path;
        int m_type;
        // Whether GetFolder has already tried to create the folder this run.
        bool m_creationTried;
    };

    // An empty base folder sets no environment variable.
    explicit CPaths(const CSmallString& baseFolder);
    ~CPaths();

    // Appends a backslash when the folder ends in neither separator, keeps it
    // as the base folder and sets the environment variables.
    void SetBaseFolder(const CSmallString& folder);
    const CSmallString& GetBaseFolder() const { return m_baseFolder; }

    // Reads one configuration file; entries replace those of the same name.
    // False, with the entries untouched, for a file that is missing,
    // unreadable, not well-formed or without a "paths" element. An entry
    // whose path expands beyond the expansion buffer is skipped. A folder
    // entry's path gets a trailing backslash, except an empty one, which stays
    // empty (never the root of the current drive), so that its lookup raises.
    bool Load(const char* path);

    // The path of a configured folder (type 1), created with its parents when
    // missing; the shared empty string for any other name. Raises
    // CExtraInfoException (IoFailure) when the folder cannot be made to exist.
    const CSmallString& GetFolder(const char* name);

    // Writes the folder that a file with this name is installed into: the
    // folder routed to by the name's extension, answering true, or else the
    // base folder, answering false. A name whose parts are too long to split
    // gets the base folder. May raise the error of GetFolder.
    bool GetFolderForFile(const char* fileName, CSmallString& folder);

    // The entry of that name (any type), or null; for inspection.
    const CPathMapping* FindMapping(const char* name) const;

private:
    CPaths(const CPaths&);
    CPaths& operator=(const CPaths&);

    typedef Container::CMap<CSmallString, CPathMapping> CMappingMap;

    void SetEnvironment() const;
    void TakeEntry(const char* name, const char* path, const char* type);

    CSmallString m_baseFolder;
    CMappingMap m_mappings;
};

#endif
