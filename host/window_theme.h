#pragma once

#include <windows.h>

// The title bar follows the user's app theme: "AppsUseLightTheme" = 0 under
// the current user's Personalize key turns the dark title bar on, any other
// number turns it off, and a missing or unreadable value leaves it as it is.

using SetWindowAttributeFunction = HRESULT(WINAPI*)(HWND window,
                                                    DWORD attribute,
                                                    LPCVOID value,
                                                    DWORD value_size);

// `set_attribute` is DwmSetWindowAttribute; tests pass a recorder, since the
// attribute cannot be read back on every system.
void ApplyWindowTheme(HWND window, SetWindowAttributeFunction set_attribute);

// The setter the top-level window applies its theme with, at creation and on
// every colorization change: DwmSetWindowAttribute unless replaced. Tests put
// a recorder in its place to follow the theme through the window procedure;
// the replacement returns the setter it replaced. UI thread only.
SetWindowAttributeFunction WindowAttributeSetter();
SetWindowAttributeFunction ReplaceWindowAttributeSetter(
    SetWindowAttributeFunction setter);
