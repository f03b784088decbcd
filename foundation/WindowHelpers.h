#ifndef FOUNDATION_WINDOWHELPERS_H
#define FOUNDATION_WINDOWHELPERS_H

#include <windows.h>

// Moves window so that it is centred over reference, keeping its size,
// z-order and activation. A window larger than its reference overhangs it
// equally on both sides. False, with the window left where it was, when
// either rectangle cannot be read or the move fails.
bool CentreWindow(HWND reference, HWND window);

// Gives the window its small (16 by 16) and big icon from the icon resource
// iconId of instance. False only when window is not a window; an icon that
// cannot be loaded leaves that icon of the window as it was. The icons are
// never destroyed: they are meant for a window that lives as long as the program.
bool SetWindowIcons(HINSTANCE instance, HWND window, unsigned iconId);

// SetWindowIcons with the module that the window was created with.
bool SetWindowIcon(HWND window, unsigned iconId);

#endif
