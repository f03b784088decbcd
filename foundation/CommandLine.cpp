#include "foundation/CommandLine.h"

#include <string.h>

CCommandLine::CCommandLine(const char* commandLine)
{
    if (commandLine != 0)
        Parse(commandLine, static_cast<int>(strlen(commandLine)), true);
}

CCommandLine::~CCommandLine()
{
}

bool CCommandLine::OnOption(bool isSwitch, const char* name, int nameLength, const char* value, int valueLength)
{
    if (!isSwitch || nameLength != 1 || (name[0] != 'F' && name[0] != 'f'))
        return true;

    // A later option replaces an earlier one, even one without a value.
    if (value != 0 && valueLength > 0)
        m_crashFolder = CSmallString(value, valueLength);
    else
        m_crashFolder.Clear();

    int length = m_crashFolder.GetLength();
    if (length > 0 && m_crashFolder[length - 1] == '\\')
        m_crashFolder.Erase(length - 1, 1);
    return true;
}
