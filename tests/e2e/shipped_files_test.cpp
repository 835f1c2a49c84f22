// What Windows reads from the shipped programs before they run: the version
// resource, the project's version in both, and the manifest.
#include "tests/e2e/e2e_fixture.h"

#include "res/version.h"

#include <string>
#include <vector>

namespace {

struct VersionInfo {
    DWORD fileMs = 0, fileLs = 0, productMs = 0, productLs = 0;
    std::string fileVersion, productVersion;
};

bool ReadVersionInfo(const std::string& path, VersionInfo& info) {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    std::vector<char> data(size);
    if (!size || !GetFileVersionInfoA(path.c_str(), 0, size, data.data())) return false;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length) || !fixed) return false;
    info.fileMs = fixed->dwFileVersionMS, info.fileLs = fixed->dwFileVersionLS;
    info.productMs = fixed->dwProductVersionMS, info.productLs = fixed->dwProductVersionLS;
    char* text = nullptr;
    if (VerQueryValueA(data.data(), "\\StringFileInfo\\040904b0\\FileVersion", reinterpret_cast<void**>(&text), &length))
        info.fileVersion = text;
    if (VerQueryValueA(data.data(), "\\StringFileInfo\\040904b0\\ProductVersion", reinterpret_cast<void**>(&text),
                       &length))
        info.productVersion = text;
    return true;
}

// The manifest Windows applies when it creates the process (resource 1, RT_MANIFEST).
std::string Manifest(const std::string& path) {
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return std::string();
    std::string text;
    if (HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24)))
        if (HGLOBAL loaded = LoadResource(module, found))
            text.assign(static_cast<const char*>(LockResource(loaded)), SizeofResource(module, found));
    FreeLibrary(module);
    return text;
}

}  // namespace

using ShippedFilesTest = E2eTest;

TEST_F(ShippedFilesTest, BothProgramsCarryTheProjectVersionAndTheirManifest) {
    const DWORD ms = MAKELONG(SETUP_VERSION_MINOR, SETUP_VERSION_MAJOR), ls = MAKELONG(0, SETUP_VERSION_PATCH);
    for (const char* name : {"setup.exe", "mksetup.exe"}) {
        VersionInfo info;
        ASSERT_TRUE(ReadVersionInfo(BinDir() + "\\" + name, info)) << name;
        EXPECT_EQ(info.fileMs, ms) << name;
        EXPECT_EQ(info.fileLs, ls) << name;
        EXPECT_EQ(info.productMs, ms) << name;
        EXPECT_EQ(info.productLs, ls) << name;
        EXPECT_EQ(info.fileVersion, SETUP_VERSION_TEXT) << name;
        EXPECT_EQ(info.productVersion, SETUP_VERSION_TEXT) << name;
    }
    const std::string setup = Manifest(BinDir() + "\\setup.exe");
    for (const char* part : {"level=\"requireAdministrator\"", "Microsoft.Windows.Common-Controls",
                             "<dpiAware", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", "{e2011457-1546-43c5-a5fe-008deee3d3f0}"})
        EXPECT_NE(setup.find(part), std::string::npos) << part;
    EXPECT_NE(Manifest(BinDir() + "\\mksetup.exe").find("level=\"asInvoker\""), std::string::npos);
}
