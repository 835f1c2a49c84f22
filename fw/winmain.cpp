// Program entry: hands control to the global application object.
#include "fw/app.h"

#include <cstdlib>

namespace {

// Narrows where this process looks for the DLLs it loads, and those the
// system loads on its behalf (uxtheme, bcrypt, crypt32, a crypto provider,
// ...), to the system directory: not the program's own folder (Downloads,
// the temporary directory), not the working directory, not PATH. Windows
// with the function (Windows 8 and later, Vista and 7 updated) take the
// system directory alone; without it, at least the working directory goes
// from the search. Both functions are looked up: XP without a service pack
// has neither.
void NarrowDllSearch() {
    const HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
    const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel32, "SetDefaultDllDirectories")));
    if (setDefault && setDefault(kSearchSystem32)) return;
    using SetDllDirectoryFn = BOOL(WINAPI*)(LPCSTR);
    const auto setDirectory =
        reinterpret_cast<SetDllDirectoryFn>(reinterpret_cast<void*>(GetProcAddress(kernel32, "SetDllDirectoryA")));
    if (setDirectory) setDirectory("");
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
    // Before anything that may load a DLL.
    NarrowDllSearch();
    CWinApp* app = AfxGetApp();
    if (!app) return 1;
    app->m_hInstance = hInstance;
    app->InitInstance();
    return app->ExitInstance();
}

// What std::terminate calls. The runtime's own handler writes the demangled
// name of the exception to a console this GUI program does not have, and
// brings the demangler (a quarter of the program's size) with it.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
