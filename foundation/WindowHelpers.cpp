#include "foundation/WindowHelpers.h"

bool CentreWindow(HWND reference, HWND window)
{
    RECT outer;
    RECT inner;
    if (!GetWindowRect(reference, &outer) || !GetWindowRect(window, &inner))
        return false;

    // Division rounds toward zero, also for a window larger than its reference.
    int x = outer.left + ((outer.right - outer.left) - (inner.right - inner.left)) / 2;
    int y = outer.top + ((outer.bottom - outer.top) - (inner.bottom - inner.top)) / 2;
    return SetWindowPos(window, NULL, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE) != FALSE;
}

bool SetWindowIcons(HINSTANCE instance, HWND window, unsigned iconId)
{
    if (!IsWindow(window))
        return false;

    LPCSTR name = MAKEINTRESOURCEA(static_cast<WORD>(iconId));
    HANDLE smallIcon = LoadImageA(instance, name, IMAGE_ICON, 16, 16, 0);
    if (smallIcon != NULL)
        SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
    HICON bigIcon = LoadIconA(instance, name);
    if (bigIcon != NULL)
        SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon));
    return true;
}

bool SetWindowIcon(HWND window, unsigned iconId)
{
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
    return SetWindowIcons(instance, window, iconId);
}
