// A library that notes every process that loads it, for the cases in which a
// program must not pick up a library planted in its current folder. Copies of
// it are planted under the names of the libraries such a program might load.
#include <windows.h>

#include <stdio.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    char record[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("VANTELO_PLANTED_RECORD", record, sizeof(record));
    if (length == 0 || length >= sizeof(record))
        return TRUE;
    char library[MAX_PATH] = "";
    char program[MAX_PATH] = "";
    GetModuleFileNameA(instance, library, sizeof(library));
    GetModuleFileNameA(NULL, program, sizeof(program));
    FILE* out = fopen(record, "ab");
    if (out != NULL)
    {
        fprintf(out, "loaded=%s by %s\n", library, program);
        fclose(out);
    }
    return TRUE;
}
