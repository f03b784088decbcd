#ifndef FOUNDATION_FILESYSTEM_H
#define FOUNDATION_FILESYSTEM_H

#include <windows.h>

// File-system operations on plain ANSI paths. None of them throws; a failure
// is the answer, and the platform's last error is left as the failing call set it.

// True when the path names an existing file or folder.
bool FileExists(const char* path);

// Writes the path up to and including its last "\" or "/" into folder, which
// must have room for strlen(path) + 1 characters; an empty text when there is none.
// A double-byte character's trail byte is never taken for a separator.
void GetFolderOfPath(const char* path, char* folder);

// Deletes the folder and everything in it. Links to other folders inside it are
// removed, never followed. Sub-folders whose names begin with a dot are left
// alone (so their parent stays). Answers true when the folder itself is gone;
// an empty folder name, or a path of MAX_PATH characters or more, answers false.
bool DeleteDirectoryTree(const char* folder);

// Creates every missing folder along the path, outermost first. Answers true
// when the whole path exists afterwards. Refuses a path holding a space right
// before a backslash, and answers false for an empty path or a network path
// that names no share.
bool CreateDirectoryPath(const char* path);

// Fills buffer with the folder of the module's file, ending in a backslash, and
// answers the position of that backslash. Answers 0 when the name cannot be had
// whole (the buffer is then empty) or holds no backslash past its first character.
int GetModuleFolder(HINSTANCE instance, char* buffer, DWORD size);

// Writes the shell folder's path, ending in a backslash, into path (room for
// MAX_PATH characters). False, with an empty path, when the shell has no
// file-system folder for the identifier.
bool GetSpecialFolderPath(char* path, int folderId);

#endif
