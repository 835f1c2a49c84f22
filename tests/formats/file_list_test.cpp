#include "formats/file_list.h"

#include "formats/list_format.h"
#include "formats/medium.h"
#include "base/registry_roots.h"
#include "formats/scramble.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// Loads a plain list text (scrambled here first, as it lies on the medium).
struct Loaded {
    FileList list;
    std::string destDir;
    bool ok = false;
    std::vector<std::string> expanded;  // every text handed to the macro expander
};

void Load(Loaded& loaded, const std::string& plain) {
    std::vector<uint8_t> bytes(plain.begin(), plain.end());
    ScrambleBuffer(bytes.data(), bytes.size());
    loaded.ok = ParseFileList(
        bytes.data(), bytes.size(),
        [&](std::string& text) {
            loaded.expanded.push_back(text);
            size_t pos = text.find("?M?");
            if (pos != std::string::npos) text.replace(pos, 3, "x;y");
        },
        loaded.list, loaded.destDir);
}

std::string S(const char* text) { return text ? text : "(null)"; }

}  // namespace

TEST(FileListLoad, LineEndsShortLinesAndCase) {
    Loaded l;
    Load(l, "F;a;b.exe\n"          // LF alone: the last character is lost
            "\r\n"                  // blank line
            "X;\r\n"                // two characters: no record
            "f;c;d\r\n"             // lower-case letter
            "F;e;f\r\n"
            "F;never;seen");        // no line end: ignored
    EXPECT_TRUE(l.ok);
    ASSERT_EQ(l.list.m_files.size(), 3u);
    EXPECT_EQ(S(l.list.m_files[0].m_pszSource), "a");
    EXPECT_EQ(S(l.list.m_files[0].m_pszDest), "b.ex");
    EXPECT_EQ(S(l.list.m_files[1].m_pszSource), "c");
    EXPECT_EQ(S(l.list.m_files[1].m_pszDest), "d");
    EXPECT_EQ(S(l.list.m_files[2].m_pszDest), "f");
    EXPECT_EQ(l.destDir, "");
}

TEST(FileListLoad, NoLineFeedAtAllIsAnEmptyList) {
    Loaded l;
    Load(l, "F;a;b");
    EXPECT_TRUE(l.ok);
    EXPECT_EQ(l.list.m_files.size() + l.list.m_regEntries.size() + l.list.m_shortcuts.size() + l.list.m_sharedFiles.size(), 0u);
}

TEST(FileListLoad, SplitRulesOfEachRecordKind) {
    Loaded l;
    Load(l,
         "F;a;b;c\r\n"
         "F;nosep\r\n"
         "K;SZ;HKEY_CURRENT_USER;Software;Name;Value\r\n"
         "K;DWORD;HKEY_LOCAL_MACHINE;Software;Count;12abc\r\n"
         "K;DWORD;HKEY_LOCAL_MACHINE;Software;Count;abc\r\n"
         "K;dword;HKEY_LOCAL_MACHINE;Software;Count;5\r\n"
         "K|DWORD|HKEY_USERS|v| -7\r\n"
         "L|a|b\r\n"
         "L|link|target|with|bars|desc\r\n"
         "L|alone\r\n"
         "H;\\Windows\\System\\\r\n"
         "V;2.0;beta\r\n"
         "p|Example; Inc.\r\n"
         "; a comment line\r\n");
    EXPECT_TRUE(l.ok);
    ASSERT_EQ(l.list.m_files.size(), 2u);
    EXPECT_EQ(S(l.list.m_files[0].m_pszSource), "a");
    EXPECT_EQ(S(l.list.m_files[0].m_pszDest), "b;c");
    EXPECT_EQ(S(l.list.m_files[1].m_pszSource), "");
    EXPECT_EQ(S(l.list.m_files[1].m_pszDest), "nosep");

    ASSERT_EQ(l.list.m_regEntries.size(), 5u);
    const RegistryEntry* r = l.list.m_regEntries.data();
    EXPECT_EQ(r[0].m_chSep, ';');
    EXPECT_EQ(S(r[0].m_pszType), "SZ");
    EXPECT_EQ(S(r[0].m_pszPath), "HKEY_CURRENT_USER;Software;Name");
    EXPECT_EQ(S(r[0].m_pszValue), "Value");
    EXPECT_EQ(S(r[1].m_pszType), "DWORD");
    EXPECT_EQ(r[1].m_dwValue, 12u);
    EXPECT_EQ(S(r[2].m_pszType), "(null)");  // no digits
    EXPECT_EQ(S(r[3].m_pszType), "(null)");  // type compared exactly
    EXPECT_EQ(S(r[3].m_pszPath), "HKEY_LOCAL_MACHINE;Software;Count");
    EXPECT_EQ(r[4].m_chSep, '|');
    EXPECT_EQ(r[4].m_dwValue, 0xFFFFFFF9u);  // "%u" negates modulo 2^32

    EXPECT_EQ(l.list.m_strProductVersion, "2.0;beta");  // the whole text, separators and all
    EXPECT_EQ(l.list.m_strPublisher, "Example; Inc.");

    ASSERT_EQ(l.list.m_shortcuts.size(), 3u);
    const ShortcutEntry* s = l.list.m_shortcuts.data();
    EXPECT_EQ(S(s[0].m_pszLink), "a");
    EXPECT_EQ(S(s[0].m_pszTarget), "");
    EXPECT_EQ(S(s[0].m_pszDescription), "b");
    EXPECT_EQ(S(s[1].m_pszTarget), "target|with|bars");
    EXPECT_EQ(S(s[1].m_pszDescription), "desc");
    EXPECT_EQ(S(s[2].m_pszLink), "");
    EXPECT_EQ(S(s[2].m_pszDescription), "alone");

    ASSERT_EQ(l.list.m_sharedFiles.size(), 1u);
    EXPECT_TRUE(IsSharedFile(l.list, "c:\\windows\\system\\x.dll"));
    EXPECT_FALSE(IsSharedFile(l.list, "c:\\windows\\system32\\x.dll"));
}

TEST(FileListLoad, MacrosAreExpandedBeforeTheSplit) {
    Loaded l;
    Load(l, "F;?M?;dest\r\nX;?M?\\App\r\n");
    EXPECT_TRUE(l.ok);
    // The expanded value holds the separator, which then takes part in the split.
    EXPECT_EQ(S(l.list.m_files[0].m_pszSource), "x");
    EXPECT_EQ(S(l.list.m_files[0].m_pszDest), "y;dest");
    EXPECT_EQ(l.destDir, "x;y\\App");
    EXPECT_EQ(l.expanded, (std::vector<std::string>{"?M?;dest", "?M?\\App"}));
}

TEST(FileListLoad, TheSeparatorsOfSplitLinesThatTakeTheDestinationAreKept) {
    Loaded l;
    // Only lines split after ?APPDIR? is put in count: not the X line (one
    // field), not a split line without the macro.
    Load(l, "X:?APPDIR?\\App\r\nF|a|?APPDIR?\\a\r\nK;SZ;HKEY_CURRENT_USER;S;?APPDIR?;v\r\nF:b:C:\\b\r\n"
            "L|?APPDIR?\\l.lnk|t|d\r\n");
    EXPECT_TRUE(l.ok);
    EXPECT_EQ(l.list.m_appDirSeparators, "|;");
}

TEST(FileListLoad, NulSeparatorOfAKeyLineGivesAPathNoWalkCanTakeApart) {
    Loaded l;
    Load(l, std::string("K\0SZ\0HKEY_CURRENT_USER\0x\0v\r\n", 28));
    ASSERT_EQ(l.list.m_regEntries.size(), 1u);
    const RegistryEntry& entry = l.list.m_regEntries[0];
    EXPECT_EQ(entry.m_chSep, '\0');
    // The stored path ends at its first NUL; a walk that looked for the next
    // NUL would find the terminator and read on past the buffer.
    const std::string stored = entry.m_pszPath.Get();
    std::unique_ptr<char[]> exact(new char[stored.size() + 1]);
    std::memcpy(exact.get(), stored.c_str(), stored.size() + 1);
    RegistryPathParts parts;
    EXPECT_EQ(SplitRegistryPath(exact.get(), entry.m_chSep, true, parts), RegistryPathFault::kNulSeparator);
    EXPECT_TRUE(parts.keys.empty());

    EXPECT_EQ(SplitRegistryPath("hkey_users|a|b|v", '|', true, parts), RegistryPathFault::kNone);
    EXPECT_EQ(parts.root, 3);
    EXPECT_EQ(parts.keys, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(parts.valueName, "v");
    EXPECT_EQ(SplitRegistryPath("v", '|', false, parts), RegistryPathFault::kNone);
    EXPECT_EQ(SplitRegistryPath("v", '|', true, parts), RegistryPathFault::kNoKey);
    EXPECT_EQ(SplitRegistryPath("HKLM|v", '|', true, parts), RegistryPathFault::kUnknownRoot);
}

TEST(FileListLoad, UnknownLetterStopsTheLoadWithEarlierRecordsFilled) {
    Loaded l;
    Load(l, "F;a;b\r\nZ;what\r\nF;c;d\r\nX;late\r\n");
    EXPECT_FALSE(l.ok);
    ASSERT_EQ(l.list.m_files.size(), 1u);  // the lines after the stop are not read
    EXPECT_EQ(S(l.list.m_files[0].m_pszSource), "a");
    EXPECT_EQ(l.destDir, "");
}

TEST(FileListLoad, LastDefaultDirectoryWinsAndSurvivesReload) {
    Loaded l;
    Load(l, "X;C:\\First\r\nX;C:\\Second\r\n");
    EXPECT_TRUE(l.ok);
    EXPECT_EQ(l.destDir, "C:\\Second");
    Load(l, "F;a;b\r\n");  // a new load replaces records, not the directory
    EXPECT_EQ(l.destDir, "C:\\Second");
    EXPECT_EQ(l.list.m_files.size(), 1u);
}

TEST(FileListLoad, OverlongLineFailsInsteadOfInstallingToACutPath) {
    std::string longest = "F;a;" + std::string(kMaxLineContent - 4, 'p');
    Loaded ok;
    Load(ok, longest + "\r\n");
    EXPECT_TRUE(ok.ok);
    EXPECT_EQ(std::string(ok.list.m_files[0].m_pszDest).size(), kMaxLineContent - 4);

    Loaded bad;
    Load(bad, "F;x;y\r\n" + longest + "q\r\n");
    EXPECT_FALSE(bad.ok);
    EXPECT_EQ(bad.list.m_files.size(), 0u);
}

// The list is read from the medium and parsed only when it is there: a
// missing setup.drc is reported as not present (for the loader's message),
// neither as damage nor as an empty list, and no records are touched.
TEST(FileListLoad, MissingFileLeavesThePreviousRecords) {
    Loaded l;
    Load(l, "F;a;b\r\n");
    TempDir dir;
    ScopedWorkingDirectory cwd(dir.Path());
    Medium medium;
    medium.UseFolder(dir.Path("Setup2.txt"));
    std::string damaged;
    EXPECT_TRUE(medium.Load(damaged));
    EXPECT_EQ(damaged, "");
    EXPECT_FALSE(medium.List().present);
    EXPECT_TRUE(medium.List().bytes.empty());
    EXPECT_EQ(l.list.m_files.size(), 1u);

    dir.Write("setup.drc", "");
    EXPECT_TRUE(medium.Load(damaged));
    EXPECT_TRUE(medium.List().present);
}

TEST(ListFormat, ParseUnsignedDecimalLikeScanf) {
    uint32_t v = 99;
    EXPECT_TRUE(ParseUnsignedDecimal("  \t42xyz", v));
    EXPECT_EQ(v, 42u);
    EXPECT_TRUE(ParseUnsignedDecimal("+7", v));
    EXPECT_EQ(v, 7u);
    EXPECT_TRUE(ParseUnsignedDecimal("4294967295", v));
    EXPECT_EQ(v, 0xFFFFFFFFu);
    EXPECT_TRUE(ParseUnsignedDecimal("-1", v));
    EXPECT_EQ(v, 0xFFFFFFFFu);
    v = 5;
    EXPECT_FALSE(ParseUnsignedDecimal("", v));
    EXPECT_FALSE(ParseUnsignedDecimal("- 1", v));
    EXPECT_FALSE(ParseUnsignedDecimal("x1", v));
    EXPECT_EQ(v, 5u);
}

TEST(ListFormat, LinesRecordCrLfAndLength) {
    std::string text = "ab\r\nc\nxy\n" + std::string(kMaxLineBytes, 'z') + "\n";
    auto lines = SplitListLines(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].text, "ab");
    EXPECT_TRUE(lines[0].crlf);
    EXPECT_EQ(lines[1].text, "c");  // a single byte before LF is kept
    EXPECT_EQ(lines[2].text, "x");
    EXPECT_FALSE(lines[2].crlf);
    EXPECT_TRUE(lines[3].tooLong);
    EXPECT_EQ(lines[3].number, 4);
}

// Text beyond ASCII: UTF-8 in a list marked so, anywhere in it; a list
// without the mark in a Windows code page, converted before any line is
// split, so that a trail byte 0x5C of Shift-JIS is no backslash.
TEST(FileListLoad, MarkedListsAreUtf8AndOthersAreReadInTheirCodePage) {
    const auto load = [](const std::string& plain, unsigned codePage, FileList& list) {
        std::vector<uint8_t> bytes(plain.begin(), plain.end());
        ScrambleBuffer(bytes.data(), bytes.size());
        std::string destDir;
        return ParseFileList(bytes.data(), bytes.size(), [](std::string&) {}, list, destDir, codePage);
    };
    FileList list;
    const std::string greek = "F;a.txt;C:\\Προϊόν\\Łódź.txt\r\n";
    ASSERT_TRUE(load(greek + "u;utf-8\r\n", 1252, list));
    EXPECT_STREQ(list.m_files[0].m_pszDest.OrEmpty(), "C:\\Προϊόν\\Łódź.txt");

    // ソフト表 in Shift-JIS: ソ and 表 end in 0x5C.
    const std::string sjis = "F;a.txt;C:\\\x83\x5C\x83\x74\x83\x67\x95\x5C\\a.txt\r\nL;C:\\\x95\x5C.lnk;C:\\a.txt;\x83\x5C\r\n";
    ASSERT_TRUE(load(sjis, 932, list));
    EXPECT_STREQ(list.m_files[0].m_pszDest.OrEmpty(), "C:\\ソフト表\\a.txt");
    EXPECT_STREQ(list.m_shortcuts[0].m_pszLink.OrEmpty(), "C:\\表.lnk");
    EXPECT_STREQ(list.m_shortcuts[0].m_pszDescription.OrEmpty(), "ソ");

    // Refused, never guessed: a marked line that is not UTF-8, a line that is
    // no text in the code page, a mark of another encoding.
    EXPECT_FALSE(load(sjis + "U;UTF-8\r\n", 932, list));
    EXPECT_FALSE(load("F;a.txt;C:\\a\x83\r\n", 932, list));
    EXPECT_FALSE(load("U;UTF-16\r\nF;a.txt;C:\\a.txt\r\n", 1252, list));
    // A comment is not read.
    EXPECT_TRUE(load("; \x83\r\nF;a.txt;C:\\a.txt\r\n", 932, list));
}
