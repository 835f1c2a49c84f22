// Start-up of setup.exe as a user meets it.
#include "tests/e2e/e2e_fixture.h"

#include "data/scramble.h"

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
