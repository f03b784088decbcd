// Drives another program's windows from a script, as a user would.
// usage: vtdrive COMMAND CAPTION CHILD_ID [ARGUMENT] [TIMEOUT_MS]
//   wait      waits for a visible top-level window with the caption that has the
//             child control CHILD_ID; prints its rectangle "left top right bottom"
//   gone      waits until no such window is left
//   text      prints the child control's text
//   settext   sets the child control's text to ARGUMENT
//   press     presses the button CHILD_ID
//   waittext  waits until the child control's text is ARGUMENT
//   progress  prints the progress bar's position and upper limit
// Exit status 0 on success, 1 on time-out or a missing window.
#include <windows.h>
#include <commctrl.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace
{
    struct Query
    {
        const char* caption;
        int childId;
        HWND found;
    };

    BOOL CALLBACK Match(HWND window, LPARAM context)
    {
        Query* query = reinterpret_cast<Query*>(context);
        char text[512];
        if (!IsWindowVisible(window) || GetWindowTextA(window, text, sizeof(text)) < 0 ||
            strcmp(text, query->caption) != 0 || GetDlgItem(window, query->childId) == NULL)
            return TRUE;
        query->found = window;
        return FALSE;
    }

    HWND Find(const char* caption, int childId)
    {
        Query query = {caption, childId, NULL};
        EnumWindows(Match, reinterpret_cast<LPARAM>(&query));
        return query.found;
    }

    HWND WaitFor(const char* caption, int childId, DWORD timeout)
    {
        DWORD start = GetTickCount();
        for (;;)
        {
            HWND window = Find(caption, childId);
            if (window != NULL || GetTickCount() - start > timeout)
                return window;
            Sleep(50);
        }
    }

    void ControlText(HWND control, char* text, int size)
    {
        text[0] = 0;
        SendMessageTimeoutA(control, WM_GETTEXT, size, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, NULL);
    }
}

int main(int argc, char** argv)
{
    if (argc < 4)
    {
        fprintf(stderr, "usage: vtdrive COMMAND CAPTION CHILD_ID [ARGUMENT] [TIMEOUT_MS]\n");
        return 2;
    }
    const char* command = argv[1];
    const char* caption = argv[2];
    int childId = atoi(argv[3]);
    bool takesArgument = strcmp(command, "settext") == 0 || strcmp(command, "waittext") == 0;
    const char* argument = takesArgument && argc > 4 ? argv[4] : "";
    int timeoutIndex = takesArgument ? 5 : 4;
    DWORD timeout = argc > timeoutIndex ? static_cast<DWORD>(atol(argv[timeoutIndex])) : 30000;

    if (strcmp(command, "gone") == 0)
    {
        DWORD start = GetTickCount();
        while (Find(caption, childId) != NULL)
        {
            if (GetTickCount() - start > timeout)
                return 1;
            Sleep(50);
        }
        return 0;
    }

    HWND window = WaitFor(caption, childId, strcmp(command, "wait") == 0 || strcmp(command, "waittext") == 0 ? timeout : 2000);
    if (window == NULL)
    {
        fprintf(stderr, "vtdrive: no window \"%s\" with control %d\n", caption, childId);
        return 1;
    }
    HWND control = GetDlgItem(window, childId);
    char text[8192];

    if (strcmp(command, "wait") == 0)
    {
        RECT rect;
        GetWindowRect(window, &rect);
        printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
    }
    else if (strcmp(command, "text") == 0)
    {
        ControlText(control, text, sizeof(text));
        printf("%s\n", text);
    }
    else if (strcmp(command, "settext") == 0)
        SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argument), SMTO_ABORTIFHUNG, 5000, NULL);
    else if (strcmp(command, "press") == 0)
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(childId, BN_CLICKED), reinterpret_cast<LPARAM>(control));
    else if (strcmp(command, "waittext") == 0)
    {
        DWORD start = GetTickCount();
        for (;;)
        {
            ControlText(control, text, sizeof(text));
            if (strcmp(text, argument) == 0)
                break;
            if (GetTickCount() - start > timeout)
                return 1;
            Sleep(50);
        }
    }
    else if (strcmp(command, "progress") == 0)
    {
        DWORD_PTR position = 0, limit = 0;
        SendMessageTimeoutA(control, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 5000, &position);
        SendMessageTimeoutA(control, PBM_GETRANGE, FALSE, 0, SMTO_ABORTIFHUNG, 5000, &limit);
        printf("%lu %lu\n", static_cast<unsigned long>(position), static_cast<unsigned long>(limit));
    }
    else
    {
        fprintf(stderr, "vtdrive: unknown command %s\n", command);
        return 2;
    }
    return 0;
}
