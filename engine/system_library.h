// A DLL of the system loaded at run time, and freed when the object goes.
// The program imports statically only DLLs that Windows always takes from
// the system directory (the KnownDLLs). Any other DLL it needs is loaded
// here, after the program has narrowed the DLL search to the system
// directory (fw/winmain.cpp): never a DLL of the same name beside setup.exe,
// in the working directory or in the temporary directory.
#pragma once

#include <windows.h>

class SystemLibrary {
public:
    // Loads |name| (a file name such as "version.dll") by its full path in
    // the system directory: a module of that name that something else has
    // already brought into the process is not taken in its place. With
    // |sideBySide|, by its name, from the system directory only, so that the
    // version that the program's manifest asks for is taken (comctl32 6).
    // Loaded() is false when it cannot be loaded.
    explicit SystemLibrary(const char* name, bool sideBySide = false);
    ~SystemLibrary();
    SystemLibrary(const SystemLibrary&) = delete;
    SystemLibrary& operator=(const SystemLibrary&) = delete;

    bool Loaded() const { return m_module != nullptr; }
    HMODULE Module() const { return m_module; }
    // The exported function |name| as a pointer of type F; null when the
    // library is not loaded or does not export it.
    template <typename F>
    F Function(const char* name) const {
        return m_module ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m_module, name))) : nullptr;
    }

private:
    HMODULE m_module;
};
