#include "loader/Paths.h"

#include "foundation/ExtraInfoException.h"
#include "foundation/FileSystem.h"
#include "xml/XMLException.h"
#include "xml/XMLLoader.h"
#include "xml/XMLNodeItr.h"

#include <stdlib.h>
#include <string.h>

namespace
{
    // What GetFolder answers for a name that is no folder.
    const CSmallString s_noFolder;

    const char kSupportSite[] = "https://support.vantelo.com";
    const DWORD kExpansionSize = 520;

    // The buffers of the platform's path split: drive, folder, base name, extension.
    const size_t kDriveSize = 3;
    const size_t kDirectorySize = 256;
    const size_t kBaseNameSize = 256;
    const size_t kExtensionSize = 256;

    bool IsSeparator(char c)
    {
        return c == '\\' || c == '/';
    }

    // The last character when it is a single byte, else 0: a double-byte
    // character's trail byte may have a separator's value.
    char LastSingleByte(const char* text)
    {
        char last = 0;
        for (const char* p = text; *p != 0; ++p)
        {
            if (IsDBCSLeadByte(static_cast<BYTE>(*p)) && p[1] != 0)
            {
                ++p;
                last = 0;
            }
            else
            {
                last = *p;
            }
        }
        return last;
    }

    // Finds the extension (the last component's text from its last dot on) as
    // the platform's split does, but refuses a name with a part that would not
    // fit the split's buffers instead of cutting it into another name.
    bool SplitExtension(const char* name, CSmallString& extension)
    {
        const char* rest = name;
        if (name[0] != 0 && name[1] == ':')
            rest = name + 2;
        if (static_cast<size_t>(rest - name) >= kDriveSize)
            return false;

        const char* component = rest;
        const char* dot = NULL;
        for (const char* p = rest; *p != 0; ++p)
        {
            if (IsDBCSLeadByte(static_cast<BYTE>(*p)) && p[1] != 0)
            {
                ++p;
                continue;
            }
            if (IsSeparator(*p))
            {
                component = p + 1;
                dot = NULL;
            }
            else if (*p == '.')
            {
                dot = p;
            }
        }
        const char* end = component + strlen(component);
        const char* extensionStart = dot != NULL ? dot : end;
        if (static_cast<size_t>(component - rest) >= kDirectorySize ||
            static_cast<size_t>(extensionStart - component) >= kBaseNameSize ||
            static_cast<size_t>(end - extensionStart) >= kExtensionSize)
            return false;
        extension = extensionStart;
        return true;
    }

    // Leading white space and a sign are accepted, the leading digits read,
    // the rest ignored; no digits give 0.
    int ParseType(const char* text)
    {
        long value = strtol(text, NULL, 10);
        if (value > 0x7FFFFFFFL)
            return 0x7FFFFFFF;
        if (value < -0x7FFFFFFFL - 1)
            return -0x7FFFFFFF - 1;
        return static_cast<int>(value);
    }

    const char* Attribute(const TQXML::CXMLNode* node, const char* name)
    {
        const TQXML::CXMLNode::CAttributeMap::CAssoc* assoc = node->GetAttributes().Lookup(CSmallString(name));
        return assoc != NULL ? static_cast<const char*>(assoc->value) : NULL;
    }

    void SetVariable(const char* name, const char* value)
    {
        SetEnvironmentVariableA(name, value);
    }

    // The shell folder, ending in a backslash, or the fallback.
    CSmallString ShellFolder(int folderId, const CSmallString& fallback)
    {
        char path[MAX_PATH];
        if (GetSpecialFolderPath(path, folderId))
            return CSmallString(path);
        return fallback;
    }
}

CPaths::CPaths(const CSmallString& baseFolder) : m_baseFolder(baseFolder)
{
    if (!baseFolder.IsEmpty())
        SetBaseFolder(baseFolder);
}

CPaths::~CPaths()
{
}

void CPaths::SetBaseFolder(const CSmallString& folder)
{
    CSmallString base(folder);
    if (!base.IsEmpty() && !IsSeparator(LastSingleByte(base)))
        base += '\\';
    m_baseFolder = base;
    SetEnvironment();
}

void CPaths::SetEnvironment() const
{
    const int kUserAppData = 26;
    const int kCommonAppData = 35;
    const int kMyVideo = 14;

    SetVariable("VTDIR", m_baseFolder);
    SetVariable("APP", m_baseFolder);
    SetVariable("USER_APPDATA", ShellFolder(kUserAppData, m_baseFolder));
    SetVariable("APPDATA", ShellFolder(kCommonAppData, m_baseFolder));
    SetVariable("CSIDL_MYVIDEO", ShellFolder(kMyVideo, m_baseFolder + "\\My Videos"));
}

bool CPaths::Load(const char* path)
{
    CRefCount::CPtr<TQXML::CXMLNode> root;
    try
    {
        if (!TQXML::LoadFile(path, root, TQXML::RaiseOnError))
            return false;
    }
    catch (TQXML::CException* e)
    {
        e->Dispose();
        return false;
    }
    if (root.IsNull())
        return false;
    TQXML::CXMLNode* paths = root->FindChild("paths");
    if (paths == NULL)
        return false;

    for (TQXML::CXMLNodeItr itr(paths); itr.IsValid(); itr.Next())
    {
        const TQXML::CXMLNode* entry = itr.Current();
        const char* name = Attribute(entry, "name");
        const char* entryPath = Attribute(entry, "path");
        if (name == NULL || entryPath == NULL)
            continue;
        const char* type = Attribute(entry, "type");
        TakeEntry(name, entryPath, type != NULL ? type : "");
    }
    return true;
}

void CPaths::TakeEntry(const char* name, const char* path, const char* type)
{
    char expanded[kExpansionSize];
    DWORD length = ExpandEnvironmentStringsA(path, expanded, kExpansionSize);
    // Too long for the buffer: skipped rather than taken half-expanded.
    if (length == 0 || length > kExpansionSize)
        return;

    CSmallString key(name);
    CMappingMap::CAssoc* assoc = m_mappings.Lookup(key);
    if (assoc == NULL)
        assoc = m_mappings.Insert(key);
    CPathMapping& mapping = assoc->value;
    mapping.m_path = expanded;
    mapping.m_type = ParseType(type);
    if (mapping.m_type == PlainPath || mapping.m_type == ExtensionRoute)
    {
        mapping.m_creationTried = false;
    }
    else if (mapping.m_type == Folder)
    {
        mapping.m_creationTried = false;
        // An empty folder path stays empty: with a backslash it would name the
        // root of the current drive.
        if (!mapping.m_path.IsEmpty() && LastSingleByte(mapping.m_path) != '\\')
            mapping.m_path += '\\';
    }
}

const CSmallString& CPaths::GetFolder(const char* name)
{
    CMappingMap::CAssoc* assoc = m_mappings.Lookup(CSmallString(name));
    if (assoc == NULL || assoc->value.m_type != Folder)
        return s_noFolder;

    CPathMapping& mapping = assoc->value;
    if (!mapping.m_creationTried)
    {
        CreateDirectoryPath(mapping.m_path);
        mapping.m_creationTried = true;
    }
    if (FileExists(mapping.m_path))
        return mapping.m_path;
    if (CreateDirectoryPath(mapping.m_path))
        return mapping.m_path;

    CSmallString text;
    text.Format("Sorry, Vantelo was unable to find folder [%s]->'%s', cannot continue.\n"
                "Please ensure that the folder drive is accessible or contact support at %s.",
        name, static_cast<const char*>(mapping.m_path), kSupportSite);
    throw new CExtraInfoException(CBaseException::IoFailure, text);
}

bool CPaths::GetFolderForFile(const char* fileName, CSmallString& folder)
{
    CSmallString extension;
    if (SplitExtension(fileName, extension))
    {
        CMappingMap::CAssoc* route = m_mappings.Lookup(extension);
        if (route != NULL && route->value.m_type == ExtensionRoute)
        {
            const CSmallString& routed = GetFolder(route->value.m_path);
            if (!routed.IsEmpty())
            {
                folder = routed;
                return true;
            }
        }
    }
    folder = m_baseFolder;
    return false;
}

const CPaths::CPathMapping* CPaths::FindMapping(const char* name) const
{
    CMappingMap::CAssoc* assoc = m_mappings.Lookup(CSmallString(name));
    return assoc != NULL ? &assoc->value : NULL;
}
