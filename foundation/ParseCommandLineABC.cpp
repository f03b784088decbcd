#include "foundation/ParseCommandLineABC.h"

namespace
{
    bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
}

CParseCommandLineABC::~CParseCommandLineABC()
{
}

void CParseCommandLineABC::Parse(const char* text, int length, bool skipFirst)
{
    if (text == 0)
        return;

    int pos = 0;
    for (;;)
    {
        while (pos < length && text[pos] != 0 && IsBlank(text[pos]))
            ++pos;
        if (pos >= length || text[pos] == 0)
            return;

        // Only a space ends a token: a tab inside one belongs to it.
        int start = pos;
        int valueStart = -1;
        bool quoted = false;
        while (pos < length && text[pos] != 0)
        {
            char c = text[pos];
            if (c == '"')
                quoted = !quoted;
            else if (!quoted && c == '=')
                valueStart = pos + 1 - start;
            else if (!quoted && c == ' ')
                break;
            ++pos;
        }

        if (skipFirst)
            skipFirst = false;
        else
            ReportToken(text + start, pos - start, valueStart);
    }
}

void CParseCommandLineABC::ReportToken(const char* token, int tokenLength, int valueStart)
{
    int nameStart = 0;
    bool isSwitch = token[0] == '-' || token[0] == '/';
    if (isSwitch)
        ++nameStart;
    if (nameStart < tokenLength && token[nameStart] == '"')
        ++nameStart;
    int end = tokenLength;
    if (end > nameStart && token[end - 1] == '"')
        --end;

    if (valueStart < 0)
    {
        OnOption(isSwitch, token + nameStart, end - nameStart, 0, 0);
        return;
    }

    // The "=" never lies among the dropped leading bytes (a switch character
    // or a quote), and a dropped final quote always comes after it.
    int nameLength = valueStart - 1 - nameStart;
    if (valueStart < end && token[valueStart] == '"')
        ++valueStart;
    int valueLength = end > valueStart ? end - valueStart : 0;
    OnOption(isSwitch, token + nameStart, nameLength, token + valueStart, valueLength);
}
