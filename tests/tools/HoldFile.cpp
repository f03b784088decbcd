// Holds a file open against every other process (share mode 0) until it is
// ended, so that a program under test meets a locked file.
// usage: vtholdfile PATH
// Exit status 1 when the file cannot be opened.
#include <windows.h>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    HANDLE file = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    Sleep(INFINITE);
    CloseHandle(file);
    return 0;
}
