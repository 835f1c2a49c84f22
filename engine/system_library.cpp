#include "engine/system_library.h"

#include "base/system_info.h"
#include "base/wide_text.h"

#include <string>

namespace {

// LoadLibraryEx's flag for "the system directory only", for the DLL named
// and for the DLLs it imports. Windows without the update that brought it
// (XP, Vista and 7 not updated) refuse it as an invalid parameter.
constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

HMODULE LoadFromSystemDirectory(const char* name, bool sideBySide) {
    const std::string directory = SystemDirectory();
    if (directory.empty()) return nullptr;
    const std::wstring path = WidePath(directory + "\\" + name);
    const std::wstring named = Wide(name);
    const wchar_t* const given = sideBySide ? named.c_str() : path.c_str();
    if (HMODULE module = LoadLibraryExW(given, nullptr, kSearchSystem32)) return module;
    if (GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
    // There, by its full path; the DLLs it imports are then looked for in
    // the system directory first. (Those systems take side-by-side versions
    // by name even so: the manifest's redirection comes before any search.)
    return LoadLibraryExW(given, nullptr, sideBySide ? 0 : LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

SystemLibrary::SystemLibrary(const char* name, bool sideBySide) : m_module(LoadFromSystemDirectory(name, sideBySide)) {}

SystemLibrary::~SystemLibrary() {
    if (m_module) FreeLibrary(m_module);
}
