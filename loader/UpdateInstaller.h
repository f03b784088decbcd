#ifndef LOADER_UPDATEINSTALLER_H
#define LOADER_UPDATEINSTALLER_H

class CPaths;

// Installs the files that wait in the folder named "new", when its marker
// "check.dat" is there: the installed copies beside the loader are backed up
// into "backup-files-folder" first, then every file is copied to the folder
// its extension is routed to and removed from "new". Files with the
// extension "cmp" are deleted, never installed. Without the marker every file
// in "new" is deleted. Sub-folders of "new" are never touched.
//
// The marker is installed last, and only when every other file was: a run
// that is ended part-way, or a file that stays locked, leaves the marker in
// "new", so the next run installs the rest.
//
// moduleFolder is the loader's folder, ending in a backslash. Every failure
// is handled here (a failed file stays in "new") except the folder lookup's
// CExtraInfoException, which passes to the caller.
void InstallDownloadedFiles(CPaths& paths, const char* moduleFolder);

// Copies source over destination, clearing a read-only destination's
// attribute first; up to 30 attempts half a second apart. True when copied.
bool CopyFileWithRetry(const char* source, const char* destination);

#endif
