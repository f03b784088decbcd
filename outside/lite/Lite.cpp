// Stand-in for the alternative program. It records what it was started with
// to the file that VANTELO_RECORD names, in the stand-in application's
// "key=value" lines, and ends at once.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

namespace
{
    const char* const kRecordedVariables[] = {"VTDIR", "APP", "USER_APPDATA", "APPDATA", "CSIDL_MYVIDEO"};

    void RecordStart(const char* file, int showCommand)
    {
        FILE* out = fopen(file, "wb");
        if (out == NULL)
            return;
        STARTUPINFOA startup;
        GetStartupInfoA(&startup);
        fprintf(out, "name=VanteloLite\n");
        fprintf(out, "show=%d\n", showCommand);
        fprintf(out, "startflags=%lu\n", static_cast<unsigned long>(startup.dwFlags));
        fprintf(out, "commandline=%s\n", GetCommandLineA());
        for (size_t i = 0; i < sizeof(kRecordedVariables) / sizeof(kRecordedVariables[0]); ++i)
        {
            char value[1024];
            DWORD length = GetEnvironmentVariableA(kRecordedVariables[i], value, sizeof(value));
            if (length > 0 && length < sizeof(value))
                fprintf(out, "env.%s=%s\n", kRecordedVariables[i], value);
        }
        fclose(out);
    }
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand)
{
    const char* record = getenv("VANTELO_RECORD");
    if (record != NULL && record[0] != 0)
        RecordStart(record, showCommand);
    return 0;
}
