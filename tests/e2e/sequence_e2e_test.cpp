// The whole sequence as a user meets it, through the installation run to the
// final message, and what it leaves at the top and the end of SETUP.LOG.
#include "tests/e2e/e2e_fixture.h"

#include "expand/lzhuf_encode.h"
#include "res/resource.h"


namespace {

constexpr char kPayload[] = "Read me.\r\nThe program is installed.\r\n";
constexpr char kWelcomeText[] = "Welcome.\r\n";
constexpr char kSuccessStart[] = "Installation Successfully Completed.\nTo start the program, just click\nStart, Programs and ";

class SequenceE2eTest : public E2eTest {
protected:
    void SetUp() override {
        m_dest = m_target.Path("Product");
        std::vector<uint8_t> packed;
        ASSERT_TRUE(EncodeLzhuf(reinterpret_cast<const uint8_t*>(kPayload), sizeof kPayload - 1, packed));
        m_medium.Write("readme.pak", std::string(packed.begin(), packed.end()));
        m_medium.Write("Setup2.txt", kWelcomeText);
        m_medium.Write("terms.txt", "Terms.\r\n");
    }

    void WriteList(const std::string& payloadName) {
        WriteFileList("X;" + m_dest + "\r\nF;" + payloadName + ";?APPDIR?\\readme.txt\r\n");
    }

    // Welcome, terms and destination pages with Continue, I Agree, Continue.
    void AcceptEveryPage() {
        m_setup.Click(Expect("the welcome page"), IDOK);
        m_setup.Click(Expect("the terms page"), IDOK);
        SeenWindow destination = Expect("the destination page");
        EXPECT_EQ(destination.GetControl(IDC_DEST_DIR) ? destination.GetControl(IDC_DEST_DIR)->text : "", m_dest);
        m_setup.Click(destination, IDOK);
    }

    // The final message: no owner, an empty caption, OK only, no icon.
    void ExpectFinalMessage(const SeenWindow& box, const std::string& text) {
        EXPECT_EQ(box.className, "#32770");
        EXPECT_EQ(box.caption, "");
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.buttons, std::vector<std::string>{"OK"});
        EXPECT_FALSE(box.hasIcon);
        EXPECT_EQ(box.owner, nullptr);
    }

    static std::vector<std::string> Header(const std::string& upperProduct) {
        std::string stars(upperProduct.size() + 24, '*');
        return {stars, upperProduct + " - INSTALLATION LOG FILE", stars, "", "Begin Installation"};
    }

    TempDir m_target;
    std::string m_dest;
};

}  // namespace

TEST_F(SequenceE2eTest, CompleteRunWithoutArgumentAfterGoingBack) {
    WriteList("readme.pak");
    StartSetup();
    m_setup.Click(Expect("the welcome page"), IDOK);
    m_setup.Click(Expect("the terms page"), IDOK);
    SeenWindow destination = Expect("the destination page");
    m_setup.SetText(destination, IDC_DEST_DIR, "D:\\Not Kept");
    m_setup.Click(destination, IDCANCEL);
    m_setup.Click(Expect("the terms page again"), IDOK);
    SeenWindow again = Expect("the destination page again");
    EXPECT_EQ(again.GetControl(IDC_DEST_DIR) ? again.GetControl(IDC_DEST_DIR)->text : "", m_dest);
    m_setup.Click(again, IDOK);

    SeenWindow progress = Expect("the progress dialog");
    EXPECT_EQ(progress.caption, "Installation");
    SeenWindow done = Expect("the success message");
    ExpectFinalMessage(done, std::string(kSuccessStart) + ".");
    m_setup.Click(done, IDOK);
    ExpectEndWithoutWindow();

    EXPECT_EQ(ReadFile(m_dest + "\\readme.txt"), kPayload);
    std::vector<std::string> log = LogMessages(m_dest + "\\SETUP.LOG");
    ASSERT_GE(log.size(), 11u);
    std::vector<std::string> top(log.begin(), log.begin() + 10);
    std::vector<std::string> expected = Header("");
    expected.insert(expected.end(), {"Terms and conditions accepted",
                                     "Destination directory not chosen, back to Terms and Conditions",
                                     "Terms and conditions accepted", "Destination directory: " + m_dest,
                                     "Decompression box opened"});
    EXPECT_EQ(top, expected);
    EXPECT_EQ(log.back(), "Installation Successfully Completed");
    EXPECT_EQ(log[log.size() - 2], "Destroying decompression box");
}

TEST_F(SequenceE2eTest, PercentSignsInTheProductNameAndAMissingWelcomeText) {
    WriteList("readme.pak");
    DeleteFileA(m_medium.Path("Setup2.txt").c_str());
    StartSetup("50%*off%s%d");
    SeenWindow welcome = Expect("the welcome page");
    EXPECT_EQ(welcome.caption, "50% off%s%d Setup");
    EXPECT_EQ(welcome.GetControl(IDC_WELCOME_TEXT) ? welcome.GetControl(IDC_WELCOME_TEXT)->text : "?", "");
    m_setup.Click(welcome, IDOK);
    m_setup.Click(Expect("the terms page"), IDOK);
    m_setup.Click(Expect("the destination page"), IDOK);
    Expect("the progress dialog");
    SeenWindow done = Expect("the success message");
    ExpectFinalMessage(done, std::string(kSuccessStart) + "50% off%s%d.");
    m_setup.Click(done, IDOK);
    ExpectEndWithoutWindow();

    std::vector<std::string> log = LogMessages(m_dest + "\\SETUP.LOG");
    ASSERT_GE(log.size(), 6u);
    // The welcome text is looked for beside the program as it was started.
    EXPECT_EQ(log[0], "Failed to load " + m_medium.Path("Setup2.txt") + ". Reported reason: No such file or directory");
    EXPECT_EQ(std::vector<std::string>(log.begin() + 1, log.begin() + 6), Header("50% OFF%S%D"));
    EXPECT_EQ(log.back(), "Installation Successfully Completed");
}

TEST_F(SequenceE2eTest, AFailedRunIsLoggedAndThenAnnounced) {
    WriteList("missing.pak");
    StartSetup("Example");
    AcceptEveryPage();
    Expect("the progress dialog");
    // The run reports its failure in boxes of its own; then the sequence ends
    // with its message.
    SeenWindow box;
    for (int i = 0; i < 5; ++i) {
        box = Expect("a box of the failed run");
        if (box.owner == nullptr && box.text == "Installation Aborted") break;
        m_setup.Click(box, IDOK);
    }
    ExpectFinalMessage(box, "Installation Aborted");
    m_setup.Click(box, IDOK);
    ExpectEndWithoutWindow();

    std::vector<std::string> log = LogMessages(m_dest + "\\SETUP.LOG");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "Installation Aborted (DlgDecompress did not return IDOK)");
}
