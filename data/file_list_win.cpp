#include "data/file_list_win.h"

#include "data/file_list.h"
#include "data/path_macros_win.h"

BOOL LoadFileList(HWND owner, const char* fileName, const char* appDir) {
    auto expand = [owner, appDir](std::string& text) { ExpandPathMacros(owner, text, appDir); };
    return LoadFileListFile(fileName, expand, theFileList, DefaultDestDir) ? TRUE : FALSE;
}
