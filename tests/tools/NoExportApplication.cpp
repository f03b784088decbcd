// A library that loads but has no entry export.
#include <windows.h>

extern "C" __declspec(dllexport) int WINAPI SomethingElse(HINSTANCE, int)
{
    return 0;
}
