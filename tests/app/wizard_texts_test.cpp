#include "app/wizard_texts.h"

#include "tests/app/log_recorder.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(WelcomeTextPath, BesideTheInvocationPathOrBare) {
    EXPECT_EQ(WelcomeTextPath("D:\\Medium\\setup.exe"), "D:\\Medium\\Setup2.txt");
    EXPECT_EQ(WelcomeTextPath("D:\\setup.exe"), "D:\\Setup2.txt");
    EXPECT_EQ(WelcomeTextPath("..\\up\\setup"), "..\\up\\Setup2.txt");
    // A drive-relative path: the colon is the separator that counts.
    EXPECT_EQ(WelcomeTextPath("D:setup.exe"), "D:Setup2.txt");
    // The later of the last backslash and the last colon.
    EXPECT_EQ(WelcomeTextPath("a\\b:c\\d:setup.exe"), "a\\b:c\\d:Setup2.txt");
    EXPECT_EQ(WelcomeTextPath("a:b\\setup.exe"), "a:b\\Setup2.txt");
    // No directory part, or the only separator at position 0: the working directory.
    EXPECT_EQ(WelcomeTextPath("setup.exe"), "Setup2.txt");
    EXPECT_EQ(WelcomeTextPath("\\setup.exe"), "Setup2.txt");
    EXPECT_EQ(WelcomeTextPath(":setup.exe"), "Setup2.txt");
    EXPECT_EQ(WelcomeTextPath(""), "Setup2.txt");
    EXPECT_EQ(WelcomeTextPath(nullptr), "Setup2.txt");
    // A slash is not a separator of the invocation path.
    EXPECT_EQ(WelcomeTextPath("media/setup.exe"), "Setup2.txt");
    // A separator as the last character: the name follows it directly.
    EXPECT_EQ(WelcomeTextPath("x\\"), "x\\Setup2.txt");
}

class WizardTextsTest : public ::testing::Test {
protected:
    // What the pages show of a file read from a folder medium.
    std::string Welcome(const char* name) { return WelcomeTextShown(ReadFolderText(m_dir.Path(name)), m_installLog); }
    std::string Terms(const char* name) { return TermsTextShown(ReadFolderText(m_dir.Path(name))); }

    TempDir m_dir;
    InstallLog m_installLog;
    LogRecorder m_log{m_installLog};
};

TEST_F(WizardTextsTest, WelcomeTextIsReadByteForByteUpToAZeroByte) {
    const std::string stored = "Welcome!\r\nSecond line\nbare LF\ttab \xE9\xFF 100%s %n\r\n";
    m_dir.Write("Setup2.txt", stored);
    EXPECT_EQ(Welcome("Setup2.txt"), stored);

    m_dir.Write("Setup2.txt", std::string("shown\r\n\0hidden", 14));
    EXPECT_EQ(Welcome("Setup2.txt"), "shown\r\n");

    m_dir.Write("Setup2.txt", "");
    EXPECT_EQ(Welcome("Setup2.txt"), "");
    EXPECT_TRUE(m_log.Lines().empty()) << m_log.Lines()[0];
}

TEST_F(WizardTextsTest, MissingWelcomeTextIsLoggedWithTheRuntimeReason) {
    // A '%' in the path is shown as it is, not taken as a conversion.
    std::string path = m_dir.Path("100%s%n") + "Setup2.txt";
    EXPECT_EQ(WelcomeTextShown(ReadFolderText(path), m_installLog), "");
    EXPECT_EQ(m_log.Lines(),
              std::vector<std::string>{"Failed to load " + path + ". Reported reason: No such file or directory"});
}

TEST_F(WizardTextsTest, TermsAreShownAsStoredUpToTheFirstZeroByte) {
    m_dir.Write("terms.txt", "1. Clause\r\n2. Clause \xE4\r\n");
    EXPECT_EQ(Terms("terms.txt"), "1. Clause\r\n2. Clause \xE4\r\n");

    m_dir.Write("terms.txt", std::string("before\0after\0", 13));
    EXPECT_EQ(Terms("terms.txt"), "before");

    m_dir.Write("terms.txt", std::string("\0all hidden", 11));
    EXPECT_EQ(Terms("terms.txt"), "");

    // Longer than any fixed buffer, no zero byte in it: ends at the file's end.
    std::string big(300000, 'x');
    m_dir.Write("terms.txt", big);
    EXPECT_EQ(Terms("terms.txt"), big);

    m_dir.Write("terms.txt", "");
    EXPECT_EQ(Terms("terms.txt"), "");
    EXPECT_EQ(Terms("missing.txt"), "");
    EXPECT_TRUE(m_log.Lines().empty());
}

TEST_F(WizardTextsTest, AFolderInPlaceOfATextGivesAnEmptyText) {
    std::filesystem::create_directory(m_dir.Path("terms.txt"));
    EXPECT_EQ(Terms("terms.txt"), "");
    std::filesystem::create_directory(m_dir.Path("Setup2.txt"));
    EXPECT_EQ(Welcome("Setup2.txt"), "");
}
