#ifndef TESTS_SUPPORT_LINUXPROGRAM_H
#define TESTS_SUPPORT_LINUXPROGRAM_H

#include <windows.h>

#include <string>

// Running programs of the Linux side from a test under Wine. Wine starts a
// Unix executable named by its Windows path ("Z:\usr\bin\python3"), but hands
// back no process handle, so its end cannot be waited for: a program run this
// way must leave a file behind, and the test waits for that file.

// The Unix path of a Windows path; empty when not under Wine.
std::string UnixPath(const std::string& windowsPath);

// Starts the Unix program (a Unix path) with the arguments (Windows quoting:
// an argument with blanks in double quotes). False when it cannot be started.
bool StartLinuxProgram(const std::string& unixProgram, const std::string& arguments);

// Waits until the path exists (a link included); false on time-out.
bool WaitForPath(const std::string& windowsPath, DWORD timeoutMs);

// A Linux symbolic link made from the Linux side, removed (the link only)
// with the object. Wine shows a link to a folder as a folder with the
// reparse-point attribute; Wine itself can make no folder link (junctions are
// refused, and CreateSymbolicLink answers true without making one) nor remove
// one: RemoveDirectory fails on a link to a folder that holds anything, and
// on a link to an empty folder removes that folder and leaves the link.
class CLinuxLink
{
public:
    CLinuxLink(const std::string& target, const std::string& link);
    ~CLinuxLink();
    bool Made() const { return m_made; }

private:
    CLinuxLink(const CLinuxLink&);
    CLinuxLink& operator=(const CLinuxLink&);

    std::string m_link;
    bool m_made;
};

#endif
