// What the program asks Windows about itself and its system: its own file, its
// environment, the temporary, Windows and system directories, and the text of an error
// code. Each is asked with the room it needs (no fixed MAX_PATH buffer) and
// taken back from UTF-16 exactly. (Windows only.)
#pragma once

#include <windows.h>

#include <string>

// The full path of the running program (GetModuleFileName); empty when it
// cannot be had.
std::string ModulePath();

// The temporary directory (GetTempPath), without its trailing backslash;
// empty when it cannot be had.
std::string TemporaryDirectory();

// The Windows directory and the system directory (GetWindowsDirectory,
// GetSystemDirectory); empty when they cannot be had.
std::string WindowsDirectory();
std::string SystemDirectory();

// The value of the environment variable |name|; empty when it is not set.
std::string EnvironmentVariable(const char* name);

// The system's message text for a Win32 error code, as the system gives it
// (its closing line end included); empty when the system has none.
std::string FormatSystemError(DWORD code);
