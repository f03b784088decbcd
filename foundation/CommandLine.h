#ifndef FOUNDATION_COMMANDLINE_H
#define FOUNDATION_COMMANDLINE_H

#include "foundation/ParseCommandLineABC.h"
#include "foundation/SmallString.h"

// The reporter's command line: one option, "F" (either case, as a switch),
// whose value is the crash folder.
class CCommandLine : public CParseCommandLineABC
{
public:
    // Parses the whole process command line at once, skipping the program's path.
    explicit CCommandLine(const char* commandLine);
    virtual bool OnOption(bool isSwitch, const char* name, int nameLength, const char* value, int valueLength);
    virtual ~CCommandLine();

    // The value of the last "F" option without one trailing backslash; empty
    // when there was none, or when the last one had no value.
    CSmallString m_crashFolder;
};

#endif
