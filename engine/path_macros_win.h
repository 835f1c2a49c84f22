// Path macro expansion with the real system look-ups.
#pragma once

#include <windows.h>

#include <string>

// Expands the path macros of |text| in place (see ExpandPathMacrosWith).
// |owner| is the shell's owner window for the Programs folder look-up and may
// be null; |appDir| is null while the application directory is not known.
void ExpandPathMacros(HWND owner, std::string& text, const char* appDir);

// The registry path of the Program Files directory used for "?PRGFDIR?".
constexpr const char* kProgramFilesDirPath = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\ProgramFilesDir";
