#include "engine/file_list_win.h"

#include "formats/file_list.h"
#include "engine/path_macros_win.h"

BOOL LoadFileList(HWND owner, const std::vector<uint8_t>& scrambled, const char* appDir) {
    auto expand = [owner, appDir](std::string& text) { ExpandPathMacros(owner, text, appDir); };
    return ParseFileList(scrambled.data(), scrambled.size(), expand, theFileList, DefaultDestDir) ? TRUE : FALSE;
}
