// Loading the file list with the real path macro values.
#pragma once

#include "formats/file_list.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Loads the scrambled list |scrambled| (setup.drc as read from the medium)
// into |list| and |defaultDestDir|, expanding every record's macros with
// |owner| as the shell's owner window and |appDir| as the application
// directory (null at start-up). TRUE when every line was consumed.
BOOL LoadFileList(HWND owner, const std::vector<uint8_t>& scrambled, const char* appDir, FileList& list,
                  std::string& defaultDestDir);
