#include "engine/path_macros_win.h"

#include "formats/path_macros.h"
#include "base/registry_path.h"

#include <shlobj.h>

namespace {

class SystemMacroValues : public MacroValues {
public:
    explicit SystemMacroValues(HWND owner) : m_hOwner(owner) {}

    std::string WindowsDirectory() override {
        char path[MAX_PATH] = "";
        GetWindowsDirectoryA(path, MAX_PATH);
        return path;
    }
    std::string SystemDirectory() override {
        char path[MAX_PATH] = "";
        GetSystemDirectoryA(path, MAX_PATH);
        return path;
    }
    bool ProgramsFolder(std::string& folder) override {
        LPITEMIDLIST items = nullptr;
        if (FAILED(SHGetSpecialFolderLocation(m_hOwner, CSIDL_PROGRAMS, &items)) || !items) return false;
        char path[MAX_PATH] = "";
        BOOL ok = SHGetPathFromIDListA(items, path);
        CoTaskMemFree(items);
        if (!ok) return false;
        folder = path;
        return true;
    }
    bool ProgramFilesDirectory(std::string& folder) override {
        std::unique_ptr<char[]> value = ReadRegistryString(kProgramFilesDirPath, '\\');
        if (!value) return false;
        folder = value.get();
        return true;
    }

private:
    HWND m_hOwner;
};

}  // namespace

void ExpandPathMacros(HWND owner, std::string& text, const char* appDir) {
    SystemMacroValues values(owner);
    ExpandPathMacrosWith(values, text, appDir);
}
