#include "engine/system_library.h"

namespace {

// LoadLibraryEx's flag for "the system directory only", for the DLL named
// and for the DLLs it imports. Windows without the update that brought it
// (XP, Vista and 7 not updated) refuse it as an invalid parameter.
constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

HMODULE LoadFromSystemDirectory(const char* name, bool sideBySide) {
    char path[MAX_PATH + 32];
    const UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || lstrlenA(name) > 30) return nullptr;
    path[length] = '\\';
    lstrcpyA(path + length + 1, name);
    if (HMODULE module = LoadLibraryExA(sideBySide ? name : path, nullptr, kSearchSystem32)) return module;
    if (GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
    // There, by its full path; the DLLs it imports are then looked for in
    // the system directory first. (Those systems take side-by-side versions
    // by name even so: the manifest's redirection comes before any search.)
    return LoadLibraryExA(sideBySide ? name : path, nullptr, sideBySide ? 0 : LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

SystemLibrary::SystemLibrary(const char* name, bool sideBySide) : m_module(LoadFromSystemDirectory(name, sideBySide)) {}

SystemLibrary::~SystemLibrary() {
    if (m_module) FreeLibrary(m_module);
}
