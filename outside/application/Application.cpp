// Stand-in for the main application library. It records what the launcher
// handed it, when asked to (VANTELO_RECORD names the file), and otherwise
// shows a small application window until it is closed or its time is up.
#include "launcher/VanteloInterface.h"

#include <stdio.h>
#include <stdlib.h>

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
    if (record != NULL && record[0] != 0)
    {
        RecordCall(record, instance, showCommand);
        return 7;
    }
    RunWindow(instance, showCommand);
    return 0;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        g_library = instance;
    return TRUE;
}
