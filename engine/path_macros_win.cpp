#include "engine/path_macros_win.h"

#include "formats/path_macros.h"
#include "base/registry_path.h"
#include "base/system_info.h"
#include "base/wide_text.h"

#include <shlobj.h>

namespace {

class SystemMacroValues : public MacroValues {
public:
    explicit SystemMacroValues(HWND owner) : m_hOwner(owner) {}

    std::string WindowsDirectory() override { return ::WindowsDirectory(); }
    std::string SystemDirectory() override { return ::SystemDirectory(); }
    bool ProgramsFolder(std::string& folder) override {
        LPITEMIDLIST items = nullptr;
        if (FAILED(SHGetSpecialFolderLocation(m_hOwner, CSIDL_PROGRAMS, &items)) || !items) return false;
        // The shell's folders are no longer than MAX_PATH (its buffer size).
        wchar_t path[MAX_PATH] = L"";
        const BOOL ok = SHGetPathFromIDListW(items, path);
        CoTaskMemFree(items);
        if (!ok) return false;
        folder = Narrow(path, wcslen(path));
        return !folder.empty();
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
