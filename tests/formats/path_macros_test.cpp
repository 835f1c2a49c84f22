#include "formats/path_macros.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Fixed values that record every look-up.
class FakeValues : public MacroValues {
public:
    std::string WindowsDirectory() override {
        calls.push_back("windows");
        return windows;
    }
    std::string SystemDirectory() override {
        calls.push_back("system");
        return system;
    }
    bool ProgramsFolder(std::string& path) override {
        calls.push_back("startmenu");
        path = programs;
        return programsOk;
    }
    bool ProgramFilesDirectory(std::string& path) override {
        calls.push_back("prgf");
        path = programFiles;
        return programFilesOk;
    }

    std::string windows = "C:\\WIN", system = "C:\\WIN\\SYS", programs = "C:\\Start\\Programs",
                programFiles = "D:\\PF";
    bool programsOk = true, programFilesOk = true;
    std::vector<std::string> calls;
};

std::string Expand(FakeValues& values, std::string text, const char* appDir) {
    ExpandPathMacrosWith(values, text, appDir);
    return text;
}

}  // namespace

TEST(PathMacros, EachMacroAndTheTextsAroundIt) {
    FakeValues v;
    EXPECT_EQ(Expand(v, "no macros at all", "D:\\App"), "no macros at all");
    EXPECT_EQ(Expand(v, "?WINDOWS?\\a;?SYSTEM?\\b;?APPDIR?\\c;?STARTMENU?\\d;?PRGFDIR?\\e", "D:\\App"),
              "C:\\WIN\\a;C:\\WIN\\SYS\\b;D:\\App\\c;C:\\Start\\Programs\\d;D:\\PF\\e");
    EXPECT_EQ(Expand(v, "?windows? ?Windows? APPDIR", "D:\\App"), "?windows? ?Windows? APPDIR");
}

TEST(PathMacros, OnePassPerOccurrenceInTableOrderWithFreshLookUps) {
    FakeValues v;
    EXPECT_EQ(Expand(v, "?PRGFDIR?|?SYSTEM??WINDOWS?|?WINDOWS?", nullptr), "D:\\PF|C:\\WIN\\SYSC:\\WIN|C:\\WIN");
    EXPECT_EQ(v.calls, (std::vector<std::string>{"windows", "windows", "system", "prgf"}));
}

TEST(PathMacros, ApplicationDirectoryTwiceOrMissing) {
    FakeValues v;
    EXPECT_EQ(Expand(v, "?APPDIR?\\a;?APPDIR?\\b", "D:\\App"), "D:\\App\\a;D:\\App\\b");
    EXPECT_EQ(Expand(v, "?APPDIR?\\a;?APPDIR?\\b", nullptr), "APPDIR\\a;APPDIR\\b");
}

TEST(PathMacros, ValuesAreScannedAgainFromTheStart) {
    FakeValues v;
    v.programFiles = "?WINDOWS?\\Programs";
    EXPECT_EQ(Expand(v, "?PRGFDIR?\\x", nullptr), "C:\\WIN\\Programs\\x");
    // A value that completes a macro with the text after it is scanned too.
    v.windows = "?SYS";
    EXPECT_EQ(Expand(v, "?WINDOWS?TEM?", nullptr), "C:\\WIN\\SYS");
}

TEST(PathMacros, ApplicationDirectoryIsNeverRescanned) {
    FakeValues v;
    // A typed directory that names a macro, even itself, is inserted as it stands.
    EXPECT_EQ(Expand(v, "?APPDIR?\\a", "C:\\?APPDIR?"), "C:\\?APPDIR?\\a");
    EXPECT_EQ(Expand(v, "?APPDIR?;?APPDIR?", "?WINDOWS?"), "?WINDOWS?;?WINDOWS?");
    // ...while the macros around it are still expanded.
    EXPECT_EQ(Expand(v, "?APPDIR?|?SYSTEM?", "?SYSTEM?"), "?SYSTEM?|C:\\WIN\\SYS");
}

TEST(PathMacros, FailingStartMenuStopsTheExpansion) {
    FakeValues v;
    v.programsOk = false;
    EXPECT_EQ(Expand(v, "?PRGFDIR?;?STARTMENU?;?WINDOWS?", nullptr), "?PRGFDIR?;?STARTMENU?;C:\\WIN");
    EXPECT_EQ(v.calls, (std::vector<std::string>{"windows", "startmenu"}));
}

TEST(PathMacros, ProgramFilesFallback) {
    FakeValues v;
    v.programFilesOk = false;
    EXPECT_EQ(Expand(v, "?PRGFDIR?\\Example", nullptr), "C:\\PROGRAM FILES\\Example");
}

TEST(PathMacros, ValuesThatNameMacrosStopAtTheBoundAndKeepTheText) {
    FakeValues v;
    v.programFiles = "?PRGFDIR?";  // a registry value that names itself
    EXPECT_EQ(Expand(v, "?PRGFDIR?\\x", nullptr), "?PRGFDIR?\\x");
    EXPECT_EQ(v.calls.size(), size_t(kMaxMacroReplacements));

    v.programFiles = "D:\\?PRGFDIR?";  // grows with every pass
    std::string grown;
    for (int i = 0; i < kMaxMacroReplacements; ++i)
        grown += "D:\\";
    EXPECT_EQ(Expand(v, "?PRGFDIR?\\x", nullptr), grown + "?PRGFDIR?\\x");

    v.windows = "?SYSTEM?";  // two values that name each other
    v.system = "?WINDOWS?";
    EXPECT_EQ(Expand(v, "a?WINDOWS?b", nullptr), "a?WINDOWS?b");

    v.programFiles = std::string(20000, 'p') + "?PRGFDIR?";  // the length bound comes first
    EXPECT_EQ(Expand(v, "?PRGFDIR?\\x", nullptr), std::string(20000, 'p') + "?PRGFDIR?\\x");
}
