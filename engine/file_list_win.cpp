#include "engine/file_list_win.h"

#include "engine/path_macros_win.h"

BOOL LoadFileList(HWND owner, const std::vector<uint8_t>& scrambled, const char* appDir, FileList& list,
                  std::string& defaultDestDir) {
    auto expand = [owner, appDir](std::string& text) { ExpandPathMacros(owner, text, appDir); };
    return ParseFileList(scrambled.data(), scrambled.size(), expand, list, defaultDestDir) ? TRUE : FALSE;
}
