// Start-up of setup.exe as a user meets it.
#include "tests/e2e/e2e_fixture.h"

#include "formats/scramble.h"

#include <regex>

namespace {
void ExpectMissingFilesBox(const SeenWindow& box) {
    EXPECT_EQ(box.className, "#32770");
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.text, "One or more files missing, cannot continue installation");
    EXPECT_EQ(box.buttons, std::vector<std::string>{"OK"});
    EXPECT_TRUE(box.errorIcon);
    EXPECT_EQ(box.owner, nullptr);
}
}  // namespace

TEST_F(E2eTest, PlainListOnlyWritesTheScrambledListAndNoWindow) {
    std::string plain = "; example\r\nX;?PRGFDIR?\\Example\r\nF;readme.txt;?APPDIR?\\readme.txt\r\n";
    m_medium.Write("setup.lst", plain);
    StartSetup("Example");
    ExpectEndWithoutWindow();
    ASSERT_TRUE(m_medium.Exists("setup.drc"));
    std::string drc = m_medium.Read("setup.drc");
    ASSERT_EQ(drc.size(), plain.size());
    for (size_t o = 0; o < plain.size(); ++o)
        ASSERT_EQ(static_cast<uint8_t>(drc[o]), static_cast<uint8_t>(plain[o] ^ ScrambleKey(o))) << o;
}

TEST_F(E2eTest, NoListAtAllShowsOneErrorBox) {
    StartSetup("Example");
    SeenWindow box = Expect("the missing-files box");
    ExpectMissingFilesBox(box);
    m_setup.Click(box, IDOK);
    ExpectEndWithoutWindow();
    EXPECT_FALSE(m_medium.Exists("SETUP.LOG"));
}

TEST_F(E2eTest, UnknownRecordLetterShowsTheSameBox) {
    std::string plain = "X;C:\\Example\r\nZ;what is this\r\n";
    std::vector<uint8_t> bytes(plain.begin(), plain.end());
    ScrambleBuffer(bytes.data(), bytes.size());
    m_medium.Write("setup.drc", std::string(bytes.begin(), bytes.end()));
    StartSetup();
    SeenWindow box = Expect("the missing-files box");
    ExpectMissingFilesBox(box);
    m_setup.Click(box, IDOK);
    ExpectEndWithoutWindow();
}

TEST_F(E2eTest, UnattendedStartUpEndsWithoutWindowAndSaysHowThroughItsExitCode) {
    // No list at all: the distribution is incomplete.
    StartSetup("Example /S");
    ExpectEndWithoutWindow();
    EXPECT_EQ(m_setup.ExitCode(), 3u);
    EXPECT_FALSE(m_medium.Exists("setup.drc"));

    // Only the plain list: setup.drc is prepared from it.
    m_medium.Write("setup.lst", "X;C:\\Example\r\n");
    StartSetup("/S");
    ExpectEndWithoutWindow();
    EXPECT_EQ(m_setup.ExitCode(), 0u);
    EXPECT_TRUE(m_medium.Exists("setup.drc"));

    // A wrong command line: no box without windows either.
    StartSetup("Example /S /D=Relative\\Dir");
    ExpectEndWithoutWindow();
    EXPECT_EQ(m_setup.ExitCode(), 2u);

    // A destination holding the separator of a line it goes into would add
    // fields to that line: refused before anything is made.
    const std::string plain = "X;C:\\Example\r\nK;SZ;HKEY_CURRENT_USER;Software;SetupE2eSep;?APPDIR?;v\r\n";
    std::vector<uint8_t> bytes(plain.begin(), plain.end());
    ScrambleBuffer(bytes.data(), bytes.size());
    m_medium.Write("setup.drc", std::string(bytes.begin(), bytes.end()));
    StartSetup("/S /D=C:\\SetupE2eSep\\a;b;c");
    ExpectEndWithoutWindow();
    EXPECT_EQ(m_setup.ExitCode(), 2u);
    HKEY key;
    EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\SetupE2eSep", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(GetFileAttributesA("C:\\SetupE2eSep"), INVALID_FILE_ATTRIBUTES);

    // A destination that cannot be made leaves no SETUP.LOG there: the lines
    // that say which directory and why go to the temporary directory.
    DeleteFileA(m_medium.Path("setup.lst").c_str());
    WriteFileList("X;C:\\Example\r\n");
    m_medium.Write("blocker", "a file where a directory is asked for");
    const std::string temp = TemporaryDirectory();
    const std::set<std::string> before = FolderEntries(temp);
    StartSetup("/S /D=" + m_medium.Path("blocker") + "\\App");
    ExpectEndWithoutWindow();
    EXPECT_EQ(m_setup.ExitCode(), 1u);
    std::string log;
    for (const std::string& name : FolderEntries(temp)) {
        if (before.count(name) || !std::regex_match(name, std::regex("SETUP-[0-9a-f]{8}\\.LOG"))) continue;
        log = ReadFile(temp + "\\" + name);
        DeleteFileA((temp + "\\" + name).c_str());
    }
    EXPECT_NE(log.find("Error creating directory " + m_medium.Path("blocker") + "\\App: "), std::string::npos) << log;
    EXPECT_NE(log.find("Failed to create destination directory, please check problem and restart install  " +
                       m_medium.Path("blocker") + "\\App "),
              std::string::npos)
        << log;
}

TEST_F(E2eTest, AnUnknownSwitchShowsWhatIsAcceptedAndExitsWith2) {
    StartSetup("Example /Q");
    SeenWindow box = Expect("the command line box");
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.text.rfind("Unknown switch: /Q\n\nUsage: setup.exe [ProductName] [/S] [/D=directory]\n", 0), 0u)
        << box.text;
    EXPECT_TRUE(box.errorIcon);
    EXPECT_EQ(box.owner, nullptr);
    m_setup.Click(box, IDOK);
    ExpectEndWithoutWindow();
    EXPECT_EQ(m_setup.ExitCode(), 2u);
}
