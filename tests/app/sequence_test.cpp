#include "app/sequence.h"

#include "base/install_log.h"
#include "tests/app/log_recorder.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace {

// Plays the user: answers each page from a script and writes every window
// shown and every log line kept into one timeline, so the order between
// the two is checked too.
class ScriptedUi : public SequenceUi {
public:
    explicit ScriptedUi(InstallLog& log) : m_log(log) {
        m_log.SetLineObserver([this](const std::string& line) {
            m_timeline.push_back("log: " + line.substr(LogRecorder::kStamp));
        });
    }
    ~ScriptedUi() override { m_log.SetLineObserver(nullptr); }

    // Answers for the coming pages and the run, in order: true is IDOK.
    std::deque<bool> m_answers;
    // What the user leaves in the destination box each time Continue is pressed.
    std::deque<std::string> m_typed;
    std::vector<std::string> m_timeline;
    bool m_ready = true;     // what ReadyToInstall answers (false: files in use, and the user cancels)

    bool ShowWelcome(const std::string& title, const std::string& text) override {
        m_timeline.push_back("welcome \"" + title + "\" \"" + text + "\"");
        return Answer();
    }
    bool ShowTerms() override {
        m_timeline.push_back("terms");
        return Answer();
    }
    bool ShowDestDir(const std::string& title, std::string& destDir) override {
        m_timeline.push_back("destination \"" + title + "\" \"" + destDir + "\"");
        if (!Answer()) return false;
        destDir = m_typed.front();
        m_typed.pop_front();
        return true;
    }
    bool ReadyToInstall(const std::string&) override { return m_ready; }
    bool RunInstallation(const std::string& destDir) override {
        m_timeline.push_back("run \"" + destDir + "\"");
        return Answer();
    }
    void ShowFinalMessage(const std::string& text) override { m_timeline.push_back("message \"" + text + "\""); }

private:
    bool Answer() {
        if (m_answers.empty()) {
            ADD_FAILURE() << "a window more than the script has answers for";
            return false;
        }
        bool answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }

    InstallLog& m_log;
};

using Timeline = std::vector<std::string>;

class SequenceTest : public ::testing::Test {
protected:
    void SetUp() override { m_medium.Write("Setup2.txt", "Hello\r\nthere"); }
    void Run(const std::string& productName) {
        RunSequence(m_ui, m_log, productName, ReadFolderText(m_medium.Path("Setup2.txt")));
    }

    TempDir m_medium;
    InstallLog m_log;
    ScriptedUi m_ui{m_log};
};

TEST_F(SequenceTest, CancelOnTheWelcomePageEndsAtOnce) {
    m_ui.m_answers = {false};
    Run("Example");
    EXPECT_EQ(m_ui.m_timeline, (Timeline{"welcome \"Example Setup\" \"Hello\r\nthere\"", "log: Installation cancelled"}));
}

TEST_F(SequenceTest, ACompleteRunLogsEveryDecisionAndEndsWithTheMessageThenTheLine) {
    m_ui.m_answers = {true, true, true, true};
    m_ui.m_typed = {" D:\\My Apps\\Ex \\ "};  // handed on exactly as typed
    Run("ex Ample");
    EXPECT_EQ(m_ui.m_timeline,
              (Timeline{
                  "welcome \"ex Ample Setup\" \"Hello\r\nthere\"",
                  "log: ********************************",
                  "log: EX AMPLE - INSTALLATION LOG FILE",
                  "log: ********************************",
                  "log: ",
                  "log: Begin Installation",
                  "terms",
                  "log: Terms and conditions accepted",
                  "destination \"ex Ample Setup\" \"\"",
                  "log: Destination directory:  D:\\My Apps\\Ex \\ ",
                  "run \" D:\\My Apps\\Ex \\ \"",
                  "message \"Installation Successfully Completed.\nTo start the program, just click\nStart, Programs and "
                  "ex Ample.\"",
                  "log: Installation Successfully Completed",
              }));
}

// Files in use before the run, and the user cancels: the run never starts,
// and the sequence ends as a Cancel in the wizard does.
TEST_F(SequenceTest, CancelBeforeTheRunForFilesInUseEndsAsACancel) {
    m_ui.m_answers = {true, true, true};
    m_ui.m_typed = {"C:\\X"};
    m_ui.m_ready = false;
    EXPECT_EQ(RunSequence(m_ui, m_log, "X", ReadFolderText(m_medium.Path("Setup2.txt"))), SequenceEnd::kCancelled);
    EXPECT_EQ(Timeline(m_ui.m_timeline.end() - 2, m_ui.m_timeline.end()),
              (Timeline{"log: Destination directory: C:\\X", "log: Installation cancelled"}));
}

TEST_F(SequenceTest, AFailedRunIsLoggedBeforeItsMessage) {
    m_ui.m_answers = {true, true, true, false};
    m_ui.m_typed = {"C:\\X"};
    Run("X");
    ASSERT_GE(m_ui.m_timeline.size(), 3u);
    EXPECT_EQ(Timeline(m_ui.m_timeline.end() - 3, m_ui.m_timeline.end()),
              (Timeline{"run \"C:\\X\"", "log: Installation Aborted (DlgDecompress did not return IDOK)",
                        "message \"Installation Aborted\""}));
}

TEST_F(SequenceTest, DecliningTheTermsEndsTheSequence) {
    m_ui.m_answers = {true, false};
    Run("X");
    EXPECT_EQ(Timeline(m_ui.m_timeline.end() - 2, m_ui.m_timeline.end()),
              (Timeline{"terms", "log: Terms and conditions not accepted, installation aborted"}));
    EXPECT_TRUE(m_ui.m_answers.empty());
}

TEST_F(SequenceTest, BackLeadsToTheTermsAgainAndForgetsNothingButTheTypedText) {
    // Back twice, then the terms declined on the third showing.
    m_ui.m_answers = {true, true, false, true, false, false};
    Run("X");
    EXPECT_EQ(Timeline(m_ui.m_timeline.begin() + 6, m_ui.m_timeline.end()),
              (Timeline{
                  "terms",
                  "log: Terms and conditions accepted",
                  "destination \"X Setup\" \"\"",
                  "log: Destination directory not chosen, back to Terms and Conditions",
                  "terms",
                  "log: Terms and conditions accepted",
                  "destination \"X Setup\" \"\"",
                  "log: Destination directory not chosen, back to Terms and Conditions",
                  "terms",
                  "log: Terms and conditions not accepted, installation aborted",
              }));

    // Back, then Continue: the run gets the directory of the second showing.
    m_ui.m_timeline.clear();
    m_ui.m_answers = {true, true, false, true, true, true};
    m_ui.m_typed = {"D:\\Second"};
    Run("X");
    EXPECT_EQ(Timeline(m_ui.m_timeline.begin() + 12, m_ui.m_timeline.begin() + 15),
              (Timeline{"destination \"X Setup\" \"\"", "log: Destination directory: D:\\Second", "run \"D:\\Second\""}));
}

TEST_F(SequenceTest, AnEmptyDestinationIsLoggedAndHandedOnAsIs) {
    m_ui.m_answers = {true, true, true, false};
    m_ui.m_typed = {""};
    Run("X");
    EXPECT_EQ(Timeline(m_ui.m_timeline.begin() + 9, m_ui.m_timeline.begin() + 11),
              (Timeline{"log: Destination directory: ", "run \"\""}));
}

TEST_F(SequenceTest, ProductNamesAreShownUnchangedEverywhere) {
    // No argument: the titles begin with the blank, the header is 24 asterisks.
    m_ui.m_answers = {true, true, true, true};
    m_ui.m_typed = {"C:\\X"};
    Run("");
    EXPECT_EQ(m_ui.m_timeline[0], "welcome \" Setup\" \"Hello\r\nthere\"");
    EXPECT_EQ(Timeline(m_ui.m_timeline.begin() + 1, m_ui.m_timeline.begin() + 4),
              (Timeline{"log: " + std::string(24, '*'), "log:  - INSTALLATION LOG FILE", "log: " + std::string(24, '*')}));
    EXPECT_EQ(m_ui.m_timeline[8], "destination \" Setup\" \"\"");
    EXPECT_EQ(m_ui.m_timeline[11],
              "message \"Installation Successfully Completed.\nTo start the program, just click\nStart, Programs and .\"");

    // printf conversions such as %s and non-ASCII letters stay as they are; only
    // ASCII letters are raised to upper case in the header.
    m_ui.m_timeline.clear();
    m_ui.m_answers = {true, true, true, true};
    m_ui.m_typed = {"C:\\X"};
    Run("50% off %s%n%d caf\xE9");
    EXPECT_EQ(m_ui.m_timeline[0], "welcome \"50% off %s%n%d caf\xE9 Setup\" \"Hello\r\nthere\"");
    EXPECT_EQ(m_ui.m_timeline[2], "log: 50% OFF %S%N%D CAF\xE9 - INSTALLATION LOG FILE");
    EXPECT_EQ(m_ui.m_timeline[1], "log: " + std::string(19 + 24, '*'));
    EXPECT_EQ(m_ui.m_timeline[11],
              "message \"Installation Successfully Completed.\nTo start the program, just click\nStart, Programs and "
              "50% off %s%n%d caf\xE9.\"");
}

TEST_F(SequenceTest, AMissingWelcomeTextIsTheFirstLineAndTheWelcomePageStaysEmpty) {
    std::string path = m_medium.Path("nowhere") + "Setup2.txt";
    m_ui.m_answers = {true, false};
    RunSequence(m_ui, m_log, "X", ReadFolderText(path));
    EXPECT_EQ(Timeline(m_ui.m_timeline.begin(), m_ui.m_timeline.begin() + 3),
              (Timeline{"log: Failed to load " + path + ". Reported reason: No such file or directory",
                        "welcome \"X Setup\" \"\"", "log: " + std::string(1 + 24, '*')}));
}

}  // namespace
