#include "engine/path_macros_win.h"

#include "formats/path_macros.h"
#include "base/registry_path.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>

namespace {
std::string Expand(std::string text, const char* appDir = nullptr) {
    ExpandPathMacros(nullptr, text, appDir);
    return text;
}
}  // namespace

TEST(PathMacrosOnWindows, RealSystemValues) {
    char windows[MAX_PATH], system[MAX_PATH], programs[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    GetSystemDirectoryA(system, MAX_PATH);
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAMS, FALSE));
    EXPECT_EQ(Expand("?SYSTEM??WINDOWS?"), std::string(system) + windows);
    EXPECT_EQ(Expand("?STARTMENU?\\Example\\Readme.lnk"), std::string(programs) + "\\Example\\Readme.lnk");
    EXPECT_EQ(Expand("?APPDIR?\\x", "D:\\App"), "D:\\App\\x");
    EXPECT_NE(std::string(programs).find("Programs"), std::string::npos);
}

TEST(PathMacrosOnWindows, ProgramFilesFromTheRegistryAndItsFallback) {
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", 0,
                            KEY_READ | KEY_SET_VALUE, &key),
              ERROR_SUCCESS);
    char saved[MAX_PATH] = "";
    DWORD size = sizeof saved;
    bool had = RegQueryValueExA(key, "ProgramFilesDir", nullptr, nullptr, reinterpret_cast<BYTE*>(saved), &size) ==
               ERROR_SUCCESS;
    ASSERT_TRUE(had) << "a fresh prefix has ProgramFilesDir";
    EXPECT_EQ(Expand("?PRGFDIR?\\Example"), std::string(saved) + "\\Example");

    ASSERT_EQ(RegDeleteValueA(key, "ProgramFilesDir"), ERROR_SUCCESS);
    std::string fallback = Expand("?PRGFDIR?\\Example");
    // A value that names its own macro once hung the start-up.
    const char selfNamed[] = "?PRGFDIR?";
    RegSetValueExA(key, "ProgramFilesDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(selfNamed), sizeof selfNamed);
    std::string bounded = Expand("?PRGFDIR?\\Example");
    RegSetValueExA(key, "ProgramFilesDir", 0, REG_SZ, reinterpret_cast<BYTE*>(saved), size);
    RegCloseKey(key);
    EXPECT_EQ(fallback, "C:\\PROGRAM FILES\\Example");
    EXPECT_EQ(bounded, "?PRGFDIR?\\Example");
}
