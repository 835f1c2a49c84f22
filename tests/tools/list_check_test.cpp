// mksetup's list checker: every kind of issue from a crafted list.
#include "tools/mksetup/list_check.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::vector<ListIssue> Check(const std::string& list, const SourceFinder& finder = nullptr) {
    return CheckList(reinterpret_cast<const uint8_t*>(list.data()), list.size(), finder);
}

// The one issue of a list, as "LINE error|warning: message".
std::string OnlyIssue(const std::string& list, const SourceFinder& finder = nullptr) {
    const std::vector<ListIssue> issues = Check(list, finder);
    if (issues.size() != 1)
        return std::to_string(issues.size()) + " issues";
    return std::to_string(issues[0].line) + (issues[0].error ? " error: " : " warning: ") + issues[0].message;
}

const char kGood[] =
    "; a comment\r\n"
    "X;?PRGFDIR?\\Example\r\n"
    "F;readme.txt;?APPDIR?\\readme.txt\r\n"
    "f|tool.dll|?SYSTEM?\\tool.dll\r\n"
    "K;SZ;HKEY_CURRENT_USER;Software;Example;Folder;?APPDIR?\r\n"
    "K;DWORD;hkey_local_machine;Software;Example;Count; 12abc\r\n"
    "L;?STARTMENU?\\Example\\Readme.lnk;?APPDIR?\\readme.txt;Read me\r\n"
    "H;\\SYSTEM32\\\r\n"
    "\r\n"
    "X;\r\n";

}  // namespace

TEST(ListCheck, AGoodListHasNoIssues) {
    EXPECT_TRUE(Check(kGood).empty());
    EXPECT_TRUE(Check(kGood, [](const std::string& s) { return s == "readme.txt" || s == "tool.dll"; }).empty());
    EXPECT_TRUE(Check("").empty());
}

TEST(ListCheck, ReportsEachKindOfIssueOnItsLine) {
    EXPECT_EQ(OnlyIssue("F;a;b\r\nZ;zebra\r\n"),
              "2 error: unknown record letter 'Z'; the installer stops loading the list here");
    EXPECT_EQ(OnlyIssue("F;a;" + std::string(600, 'b') + "\r\n"),
              "1 error: the line is longer than 518 characters; the installer refuses the whole list");
    EXPECT_TRUE(Check("F;a;" + std::string(514, 'b') + "\r\n").empty());   // 518 exactly
    EXPECT_EQ(OnlyIssue("F;readme.txt\r\n"),
              "1 error: F record without the separator ';' between source and destination");
    EXPECT_EQ(OnlyIssue("K;SZ;HKEY_CURRENT_USER\r\n"),
              "1 error: K record needs type, key path and data, separated by ';'");
    EXPECT_EQ(OnlyIssue("L|link|target\r\n"),
              "1 error: L record needs link, target and description, separated by '|'");
    EXPECT_EQ(OnlyIssue("K;dword;HKEY_USERS;Key;Value;1\r\n"),
              "1 error: registry type 'dword' is neither \"DWORD\" nor \"SZ\" (exactly, in upper case)");
    EXPECT_EQ(OnlyIssue("K;DWORD;HKEY_USERS;Key;Value;abc\r\n"), "1 error: DWORD data 'abc' has no digits");
    EXPECT_EQ(OnlyIssue("K;SZ;HKLM;Software;Value;x\r\n"),
              "1 error: registry root 'HKLM' is not HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, "
              "HKEY_LOCAL_MACHINE or HKEY_USERS");
    EXPECT_EQ(OnlyIssue("K;SZ;Value;x\r\n"), "1 error: registry path 'Value' names no key below a root");
    EXPECT_EQ(OnlyIssue("F;a;?Appdir?\\a\r\n"),
              "1 warning: '?Appdir?' is not a path macro and stays as it is; macros are upper case: ?APPDIR?");
    EXPECT_EQ(OnlyIssue("X;?HOME?\\Example\r\n"), "1 warning: '?HOME?' is not a path macro and stays as it is");
    EXPECT_EQ(OnlyIssue("F;a.exe;C:\\Why?\\a.exe\r\n"), "0 issues");   // a lone question mark is no macro
    EXPECT_EQ(OnlyIssue("F;a.txt;x\r\nF;b.txt;y\r\n", [](const std::string& s) { return s == "a.txt"; }),
              "2 error: source file 'b.txt' is not in the source folder");
    EXPECT_EQ(OnlyIssue("F;a;b.exe\n"),
              "1 error: the line ends in LF without CR; the installer drops its last character 'e'");
    EXPECT_EQ(OnlyIssue("F;a;?APPDIR?\\x.dll\r\nF;b;?APPDIR?\\X.DLL\r\n"),
              "2 warning: destination '?APPDIR?\\X.DLL' is also the destination on line 1; the later file "
              "replaces the earlier");
    EXPECT_EQ(OnlyIssue("F;a;b\r\nF;c;d"), "2 warning: the last line has no line end; the installer ignores it");
}

TEST(ListCheck, HostileBytesNamesAndSplits) {
    EXPECT_EQ(OnlyIssue(std::string("K\0SZ\0HKEY_CURRENT_USER\0x\0v\r\n", 28)),
              "1 error: the separator is a NUL byte; the installer cannot split a text at it");
    EXPECT_EQ(OnlyIssue(std::string("F;a\0b;c\r\n", 9)),
              "1 error: the line holds a NUL byte; the installer's texts end there");
    EXPECT_EQ(OnlyIssue("F;.\\SETUP.DRC;x\r\n"),
              "1 error: source file '.\\SETUP.DRC' would be packed under the name of the distribution's own "
              "setup.drc, which mksetup writes there too");
    EXPECT_EQ(OnlyIssue("F;sub\\terms.txt;x\r\n"), "0 issues");
    EXPECT_EQ(OnlyIssue("F;..\\a;x\r\n"), "1 error: source name '..\\a' leads outside the distribution folder");
    EXPECT_EQ(OnlyIssue("L\\?STARTMENU?\\Example.lnk\\target\\Example\r\n"),
              "1 warning: the separator is '\\' and the text holds a macro; the installer expands macros before "
              "it splits, so the backslashes of the expanded path split the text too");
    EXPECT_EQ(OnlyIssue("K:SZ:HKEY_CURRENT_USER:Software:v:?APPDIR?\r\n"),
              "1 warning: the separator is ':' and the text holds a macro; the installer expands macros before "
              "it splits, so the drive's colon in the expanded path splits the text too");
    EXPECT_EQ(OnlyIssue("F\\a\\?APPDIR?\\a\r\n"), "0 issues");   // an F line splits at the first only
    EXPECT_EQ(OnlyIssue("FR;a;?APPDIR?\r\n"),
              "1 warning: the separator 'R' is part of a macro the text holds; the installer expands macros before "
              "it splits, so that separator is gone");
    EXPECT_EQ(OnlyIssue("F;?APPDIR?\\a;b\r\n"),
              "1 error: source name '?APPDIR?\\a' holds a macro; the installer would look for the expanded name, "
              "not for the packed file");
}

TEST(ListCheck, SourcesAreListedOnceInOrder) {
    const std::string list = "F;b.txt;x\r\nK;SZ;HKEY_USERS;K;V;d\r\nf;a.txt;y\r\nF;b.txt;z\r\nF;" +
                             std::string(600, 'c') + ";w\r\n";
    const std::vector<std::string> sources =
        ListSources(reinterpret_cast<const uint8_t*>(list.data()), list.size());
    EXPECT_EQ(sources, (std::vector<std::string>{"b.txt", "a.txt"}));
}
