#ifndef FOUNDATION_DLLSEARCHPATH_H
#define FOUNDATION_DLLSEARCHPATH_H

// Takes the current directory out of the process's DLL search path, so that a
// DLL planted wherever the program was started from is never loaded. Does
// nothing where the platform lacks the call (before Windows XP SP1).
void RemoveCurrentDirectoryFromDllSearchPath();

#endif
