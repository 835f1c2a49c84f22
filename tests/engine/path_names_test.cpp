#include "engine/path_names.h"

#include <gtest/gtest.h>

TEST(PathNames, ExtensionIsFromTheLastDotOfTheWholePathInLowerCase) {
    EXPECT_EQ(GetPathExtension("C:\\App\\X.DLL"), ".dll");
    EXPECT_EQ(GetPathExtension("C:\\App\\x.dll.BAK"), ".bak");
    EXPECT_EQ(GetPathExtension("C:\\App.Dir\\README"), ".dir\\readme");
    EXPECT_EQ(GetPathExtension("C:\\App\\README"), "c:\\app\\readme");
    EXPECT_EQ(GetPathExtension("name."), ".");
    EXPECT_EQ(GetPathExtension(""), "");
    // Bytes of the ANSI code page above 0x7F pass unchanged.
    EXPECT_EQ(GetPathExtension("a.\xC9X"), ".\xC9x");
}

TEST(PathNames, DllPathsIgnoreCaseAndLookOnlyAfterTheLastDot) {
    for (const char* path : {"X.DLL", "x.Dll", "C:\\Sys\\x.dll", ".dll"}) EXPECT_TRUE(IsDllPath(path)) << path;
    for (const char* path : {"x.dll.bak", "x.dl", "x.dlls", "C:\\lib.dll\\readme", "dll", "C:\\x.dll\\"})
        EXPECT_FALSE(IsDllPath(path)) << path;
}

TEST(PathNames, FileNameFollowsTheLaterOfLastBackslashAndColon) {
    EXPECT_EQ(GetPathFileName("C:\\App\\Bin\\x.dll"), "x.dll");
    EXPECT_EQ(GetPathFileName("C:x.dll"), "x.dll");
    EXPECT_EQ(GetPathFileName("x.dll"), "x.dll");
    EXPECT_EQ(GetPathFileName("C:\\App\\"), "");
    EXPECT_EQ(GetPathFileName("C:\\a:b\\c"), "c");
    EXPECT_EQ(GetPathFileName("C:\\a\\b:c"), "c");
    EXPECT_EQ(GetPathFileName("C:/a/x.dll"), "/a/x.dll");  // only backslashes separate
    EXPECT_EQ(GetPathFileName(""), "");
}
