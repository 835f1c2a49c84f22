// The one door through which the program shows message boxes.
//
// ShowMessageBox calls MessageBoxA with exactly the owner, text, caption and
// style it is given. Tests install a hook to record each box and answer it
// in-process instead; the program itself never installs one.
#pragma once

#include <windows.h>

#include <functional>

using MessageBoxHook = std::function<int(HWND owner, const char* text, const char* caption, UINT style)>;

// Shows a modal message box and returns the button the user chose (IDOK, IDYES, ...).
int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT style);

// Routes every later ShowMessageBox to |hook|; an empty hook restores MessageBoxA.
void SetMessageBoxHook(MessageBoxHook hook);
