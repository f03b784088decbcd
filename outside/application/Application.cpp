// Stand-in for the main application library. It records what the launcher
// handed it when asked to (VANTELO_RECORD names the file), shows a small
// application window until it is closed or its time is up, and, when asked to
// (VANTELO_APP_CRASH), then fails the way the real application does: it writes
// a crash folder and starts the problem reporter on it.
#include "launcher/VanteloInterface.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace
{
    HINSTANCE g_library;

    const char* const kRecordedVariables[] = {"VTDIR", "APP", "USER_APPDATA", "APPDATA", "CSIDL_MYVIDEO"};

    void RecordCall(const char* file, HINSTANCE instance, int showCommand)
    {
        FILE* out = fopen(file, "wb");
        if (out == NULL)
            return;
        fprintf(out, "instance=%p\n", static_cast<void*>(instance));
        fprintf(out, "program=%p\n", static_cast<void*>(GetModuleHandleA(NULL)));
        fprintf(out, "library=%p\n", static_cast<void*>(g_library));
        fprintf(out, "show=%d\n", showCommand);
        fprintf(out, "commandline=%s\n", GetCommandLineA());
        char module[MAX_PATH];
        GetModuleFileNameA(g_library, module, sizeof(module));
        fprintf(out, "librarypath=%s\n", module);
        for (size_t i = 0; i < sizeof(kRecordedVariables) / sizeof(kRecordedVariables[0]); ++i)
        {
            char value[1024];
            DWORD length = GetEnvironmentVariableA(kRecordedVariables[i], value, sizeof(value));
            if (length > 0 && length < sizeof(value))
                fprintf(out, "env.%s=%s\n", kRecordedVariables[i], value);
        }
        fclose(out);
    }

    bool WriteFileBytes(const char* path, const void* data, DWORD size)
    {
        HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        DWORD written = 0;
        BOOL ok = WriteFile(file, data, size, &written, NULL);
        CloseHandle(file);
        return ok && written == size;
    }

    bool WriteText(const char* folder, const char* name, const char* text)
    {
        char path[MAX_PATH];
        if (snprintf(path, sizeof(path), "%s\\%s", folder, name) >= static_cast<int>(sizeof(path)))
            return false;
        return WriteFileBytes(path, text, static_cast<DWORD>(strlen(text)));
    }

    // A dump of a few megabytes: a compressible half and a random-looking half.
    bool WriteDump(const char* folder)
    {
        const DWORD size = 12 * 1024 * 1024;
        unsigned char* bytes = static_cast<unsigned char*>(HeapAlloc(GetProcessHeap(), 0, size));
        if (bytes == NULL)
            return false;
        unsigned int seed = GetTickCount();
        for (DWORD i = 0; i < size; ++i)
        {
            seed = seed * 1103515245u + 12345u;
            bytes[i] = i < size / 2 ? static_cast<unsigned char>("MDMP-stack-frame "[i % 17]) : static_cast<unsigned char>(seed >> 24);
        }
        char path[MAX_PATH];
        bool ok = snprintf(path, sizeof(path), "%s\\vantelo.dmp", folder) < static_cast<int>(sizeof(path)) &&
                  WriteFileBytes(path, bytes, size);
        HeapFree(GetProcessHeap(), 0, bytes);
        return ok;
    }

    // Writes the crash folder beside the temporary files and starts the reporter
    // from the program's folder with the folder as its "F" option.
    void SimulateCrash()
    {
        char temp[MAX_PATH];
        char folder[MAX_PATH];
        DWORD length = GetTempPathA(sizeof(temp), temp);
        if (length == 0 || length >= sizeof(temp))
            return;
        SYSTEMTIME now;
        GetLocalTime(&now);
        if (snprintf(folder, sizeof(folder), "%sVanteloCrash.%04u%02u%02u-%02u%02u%02u", temp, now.wYear, now.wMonth,
                     now.wDay, now.wHour, now.wMinute, now.wSecond) >= static_cast<int>(sizeof(folder)))
            return;
        CreateDirectoryA(folder, NULL);
        char logs[MAX_PATH];
        snprintf(logs, sizeof(logs), "%s\\logs", folder);
        CreateDirectoryA(logs, NULL);

        char crashInfo[512];
        snprintf(crashInfo, sizeof(crashInfo),
                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<crash>\n  <key>VT-%lu</key>\n"
                 "  <em>user@example.com</em>\n  <build>8.4.0.1117</build>\n  <ver>8.4</ver>\n</crash>\n",
                 GetCurrentProcessId());
        WriteText(folder, "crashinfo.dat", crashInfo);
        WriteText(folder, "system.txt", "Windows under Wine\r\nDisplay 1024x768\r\n");
        WriteText(logs, "application.log", "started\r\nopened the interface\r\naccess violation in renderer\r\n");
        WriteDump(folder);

        const char* record = getenv("VANTELO_RECORD");
        if (record != NULL && record[0] != 0)
        {
            FILE* out = fopen(record, "ab");
            if (out != NULL)
            {
                fprintf(out, "crashfolder=%s\n", folder);
                fclose(out);
            }
        }

        char program[MAX_PATH];
        DWORD nameLength = GetModuleFileNameA(NULL, program, sizeof(program));
        char* slash = strrchr(program, '\\');
        if (nameLength == 0 || nameLength >= sizeof(program) || slash == NULL)
            return;
        const char reporter[] = "VanteloProblemReporter.exe";
        if (static_cast<size_t>(slash + 1 - program) + sizeof(reporter) > sizeof(program))
            return;
        memcpy(slash + 1, reporter, sizeof(reporter));

        char commandLine[2 * MAX_PATH + 16];
        snprintf(commandLine, sizeof(commandLine), "\"%s\" -F=\"%s\"", program, folder);
        STARTUPINFOA startup;
        memset(&startup, 0, sizeof(startup));
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info;
        if (CreateProcessA(program, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info))
        {
            CloseHandle(info.hThread);
            CloseHandle(info.hProcess);
        }
    }

    LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        switch (message)
        {
        case WM_TIMER:
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    void RunWindow(HINSTANCE instance, int showCommand)
    {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = g_library;
        windowClass.hCursor = LoadCursor(NULL, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        windowClass.lpszClassName = "VanteloApplication";
        windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(101));
        RegisterClassA(&windowClass);
        HWND window = CreateWindowA("VanteloApplication", "Vantelo", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                    CW_USEDEFAULT, 480, 320, NULL, NULL, g_library, NULL);
        if (window == NULL)
            return;
        const char* seconds = getenv("VANTELO_APP_SECONDS");
        SetTimer(window, 1, (seconds ? atoi(seconds) : 5) * 1000, NULL);
        ShowWindow(window, showCommand);
        MSG message;
        while (GetMessageA(&message, NULL, 0, 0) > 0)
        {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

extern "C" __declspec(dllexport) int WINAPI ShowVanteloInterface(HINSTANCE instance, int showCommand)
{
    const char* record = getenv("VANTELO_RECORD");
    bool crash = getenv("VANTELO_APP_CRASH") != NULL;
    if (record != NULL && record[0] != 0)
    {
        RecordCall(record, instance, showCommand);
        if (!crash)
            return 7;
    }
    RunWindow(instance, showCommand);
    if (crash)
        SimulateCrash();
    return 0;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        g_library = instance;
    return TRUE;
}
