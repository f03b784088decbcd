#include "tests/support/SystemText.h"

std::string SystemText(DWORD code)
{
    char buffer[1024];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, code, 0x400,
                                  buffer, sizeof(buffer), NULL);
    std::string text(buffer, length);
    while (!text.empty() && (text[text.size() - 1] == '\n' || text[text.size() - 1] == '\r' || text[text.size() - 1] == ' '))
        text.erase(text.size() - 1);
    return text;
}
