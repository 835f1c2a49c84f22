// Loading the program's file list with the real path macro values.
#pragma once

#include <windows.h>

// Loads |fileName| into theFileList and DefaultDestDir, expanding every
// record's macros with |owner| as the shell's owner window and |appDir| as the
// application directory (null at start-up). TRUE when every line was consumed.
BOOL LoadFileList(HWND owner, const char* fileName, const char* appDir);
