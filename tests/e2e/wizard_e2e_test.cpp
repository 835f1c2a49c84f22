// The wizard pages of setup.exe as a user meets them, up to the destination
// page: texts, buttons and window styles of each page, and every way back
// and out of the wizard.
#include "tests/e2e/e2e_fixture.h"

#include "res/resource.h"

namespace {

constexpr char kList[] = "; the wizard needs no files\r\nX;C:\\Apps\\Example Product\r\n";
constexpr char kDefaultDir[] = "C:\\Apps\\Example Product";
constexpr char kWelcomeText[] = "Welcome to Example Product.\r\nThis program installs it.\r\n";
constexpr char kTermsText[] = "1. You may use it.\r\n2. You may not sell it.\r\n";
constexpr char kCancelQuestion[] = "If you cancel you will NOT install the program.\nDo you really want to cancel?";

class WizardE2eTest : public E2eTest {
protected:
    void SetUp() override {
        WriteFileList(kList);
        m_medium.Write("Setup2.txt", kWelcomeText);
        m_medium.Write("terms.txt", kTermsText);
    }
    void TearDown() override {
        // The wizard alone never writes the log: only the installation run does.
        EXPECT_FALSE(m_medium.Exists("SETUP.LOG"));
        EXPECT_EQ(GetFileAttributesA((std::string(kDefaultDir) + "\\SETUP.LOG").c_str()), INVALID_FILE_ATTRIBUTES);
        E2eTest::TearDown();
    }

    static std::string EditText(const SeenWindow& page, int id) {
        const SeenControl* c = page.GetControl(id);
        return c ? c->text : "<no control " + std::to_string(id) + ">";
    }

    // What every page shares: a dialog of its own on the taskbar with a
    // caption; a system menu (and so a close box) only on the welcome page.
    static void ExpectPageFrame(const SeenWindow& page, const std::string& caption, bool systemMenu) {
        EXPECT_EQ(page.className, "#32770");
        EXPECT_EQ(page.caption, caption);
        EXPECT_EQ(page.owner, nullptr);
        EXPECT_TRUE(page.exStyle & WS_EX_APPWINDOW);
        EXPECT_EQ((page.style & (WS_POPUP | WS_CAPTION | DS_MODALFRAME)), static_cast<DWORD>(WS_POPUP | WS_CAPTION | DS_MODALFRAME));
        EXPECT_EQ((page.style & WS_SYSMENU) != 0, systemMenu) << caption;
        const SeenControl* ok = page.GetControl(IDOK);
        ASSERT_NE(ok, nullptr);
        EXPECT_EQ(ok->style & 0x0F, static_cast<DWORD>(BS_DEFPUSHBUTTON));
    }

    // An edit control takes WS_BORDER out of its style and draws the border
    // itself, so the border is seen on the screenshots, not in the style.
    void ExpectWelcome(const SeenWindow& page, const std::string& title, const std::string& text) {
        ExpectPageFrame(page, title, true);
        EXPECT_EQ(page.buttons, (std::vector<std::string>{"Continue", "Cancel"}));
        EXPECT_EQ(EditText(page, IDC_WELCOME_TEXT), text);
        const SeenControl* edit = page.GetControl(IDC_WELCOME_TEXT);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->style & (ES_MULTILINE | ES_READONLY | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL),
                  static_cast<DWORD>(ES_MULTILINE | ES_READONLY | WS_TABSTOP));
        EXPECT_TRUE(page.hasIcon);  // the application icon, sunken
        const SeenControl* icon = page.GetControl(0xFFFF);
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(icon->style & (SS_TYPEMASK | SS_SUNKEN), static_cast<DWORD>(SS_ICON | SS_SUNKEN));
    }

    void ExpectTerms(const SeenWindow& page, const std::string& text) {
        ExpectPageFrame(page, "Terms and Conditions", false);
        EXPECT_EQ(page.buttons, (std::vector<std::string>{"I Agree", "Cancel"}));
        EXPECT_EQ(EditText(page, IDC_TERMS_TEXT), text);
        const SeenControl* edit = page.GetControl(IDC_TERMS_TEXT);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->style & (ES_MULTILINE | ES_READONLY | WS_TABSTOP | WS_VSCROLL),
                  static_cast<DWORD>(ES_MULTILINE | ES_READONLY | WS_TABSTOP | WS_VSCROLL));
    }

    void ExpectDestination(const SeenWindow& page, const std::string& title, const std::string& dir) {
        ExpectPageFrame(page, title, false);
        EXPECT_EQ(page.buttons, (std::vector<std::string>{"Continue", "Back"}));
        const SeenControl* prompt = page.GetControl(0xFFFF);
        ASSERT_NE(prompt, nullptr);
        EXPECT_EQ(prompt->text,
                  "Choose the directory where the software will be installed or click Continue to accept the default:");
        EXPECT_EQ(EditText(page, IDC_DEST_DIR), dir);
        const SeenControl* edit = page.GetControl(IDC_DEST_DIR);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->style & (ES_MULTILINE | ES_AUTOHSCROLL | WS_TABSTOP),
                  static_cast<DWORD>(ES_AUTOHSCROLL | WS_TABSTOP));
    }

    void ExpectCancelQuestion(const SeenWindow& box, const SeenWindow& welcome) {
        EXPECT_EQ(box.className, "#32770");
        EXPECT_EQ(box.caption, "WARNING");
        EXPECT_EQ(box.text, kCancelQuestion);
        EXPECT_EQ(box.buttons, (std::vector<std::string>{"&Yes", "&No"}));
        EXPECT_FALSE(box.hasIcon);
        EXPECT_EQ(box.owner, welcome.hWnd);
    }

    // Cancel on the terms page: the wizard ends without a question.
    void DeclineTerms(const SeenWindow& terms) {
        m_setup.Click(terms, IDCANCEL);
        ExpectEndWithoutWindow();
    }

    // The welcome and destination pages carry title; then back and out.
    void ExpectTitlesAndLeave(const std::string& title) {
        SeenWindow welcome = Expect("the welcome page");
        EXPECT_EQ(welcome.caption, title);
        m_setup.Click(welcome, IDOK);
        m_setup.Click(Expect("the terms page"), IDOK);
        SeenWindow destination = Expect("the destination page");
        EXPECT_EQ(destination.caption, title);
        m_setup.Click(destination, IDCANCEL);
        DeclineTerms(Expect("the terms page again"));
    }
};

}  // namespace

TEST_F(WizardE2eTest, EveryPageInOrderWithItsTitleTextsAndButtons) {
    StartSetup("Example*Product");
    SeenWindow welcome = Expect("the welcome page");
    ExpectWelcome(welcome, "Example Product Setup", kWelcomeText);
    m_setup.Click(welcome, IDOK);

    SeenWindow terms = Expect("the terms page");
    ExpectTerms(terms, kTermsText);
    m_setup.Click(terms, IDOK);

    SeenWindow destination = Expect("the destination page");
    ExpectDestination(destination, "Example Product Setup", kDefaultDir);
    m_setup.Click(destination, IDCANCEL);  // Back

    DeclineTerms(Expect("the terms page again"));
}

TEST_F(WizardE2eTest, CancelOnTheWelcomePageAsksAndNoKeepsThePage) {
    StartSetup("Example");
    SeenWindow welcome = Expect("the welcome page");
    m_setup.Click(welcome, IDCANCEL);
    SeenWindow question = Expect("the cancel question");
    ExpectCancelQuestion(question, welcome);
    m_setup.Click(question, IDNO);
    ExpectNoNewWindow(question, welcome);
    EXPECT_TRUE(IsWindowVisible(welcome.hWnd));

    m_setup.Click(welcome, IDCANCEL);
    SeenWindow again = Expect("the cancel question again");
    ExpectCancelQuestion(again, welcome);
    m_setup.Click(again, IDYES);
    ExpectEndWithoutWindow();
}

TEST_F(WizardE2eTest, EscAndTheCloseBoxOnTheWelcomePageAskTheSameQuestion) {
    StartSetup("Example");
    SeenWindow welcome = Expect("the welcome page");
    m_setup.PressKey(welcome, VK_ESCAPE);
    SeenWindow byEsc = Expect("the cancel question after Esc");
    ExpectCancelQuestion(byEsc, welcome);
    m_setup.Click(byEsc, IDNO);
    ExpectNoNewWindow(byEsc, welcome);

    m_setup.Note("close box of the welcome page");
    PostMessageA(welcome.hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    SeenWindow byClose = Expect("the cancel question after the close box");
    ExpectCancelQuestion(byClose, welcome);
    m_setup.Click(byClose, IDYES);
    ExpectEndWithoutWindow();
}

TEST_F(WizardE2eTest, TermsDeclinedEndTheWizard) {
    StartSetup("Example");
    m_setup.Click(Expect("the welcome page"), IDOK);
    DeclineTerms(Expect("the terms page"));
}

TEST_F(WizardE2eTest, EscOnTheTermsPageEndsTheWizardWithoutAQuestion) {
    StartSetup("Example");
    m_setup.Click(Expect("the welcome page"), IDOK);
    m_setup.PressKey(Expect("the terms page"), VK_ESCAPE);
    ExpectEndWithoutWindow();
}

// The terms shown again are those read at start-up: a file changed
// meanwhile is not what the user accepts.
TEST_F(WizardE2eTest, BackShowsTheTermsReadAtStartUpAndStartsTheDestinationAnew) {
    StartSetup("Example");
    m_setup.Click(Expect("the welcome page"), IDOK);
    m_setup.Click(Expect("the terms page"), IDOK);
    SeenWindow destination = Expect("the destination page");
    m_setup.SetText(destination, IDC_DEST_DIR, "D:\\Typed Before Back");
    m_medium.Write("terms.txt", "Changed terms.\r\n");
    m_setup.Click(destination, IDCANCEL);

    SeenWindow terms = Expect("the terms page again");
    ExpectTerms(terms, kTermsText);
    m_setup.Click(terms, IDOK);
    SeenWindow again = Expect("the destination page again");
    ExpectDestination(again, "Example Setup", kDefaultDir);

    // Esc acts as Back.
    m_setup.PressKey(again, VK_ESCAPE);
    DeclineTerms(Expect("the terms page a third time"));
}

TEST_F(WizardE2eTest, NoArgumentGivesTitlesThatBeginWithTheBlank) {
    StartSetup();
    ExpectTitlesAndLeave(" Setup");
}

TEST_F(WizardE2eTest, AsterisksAndPercentSignsInTheProductName) {
    StartSetup("100%*Sure*%s%n*Edition");
    ExpectTitlesAndLeave("100% Sure %s%n Edition Setup");
}

TEST_F(WizardE2eTest, TextsAreShownAsStored) {
    // Welcome text byte for byte (line ends as stored, Windows-1252 letters,
    // '%'); terms only up to their first zero byte.
    const std::string welcome = "Caf\xE9 \"100%\" %s\r\n\r\nTab\there.\r\nLast line without end";
    m_medium.Write("Setup2.txt", welcome);
    m_medium.Write("terms.txt", std::string("Shown part.\r\n\0Hidden part.\r\n", 29));
    StartSetup("Example");
    SeenWindow page = Expect("the welcome page");
    EXPECT_EQ(EditText(page, IDC_WELCOME_TEXT), welcome);
    m_setup.Click(page, IDOK);
    SeenWindow terms = Expect("the terms page");
    EXPECT_EQ(EditText(terms, IDC_TERMS_TEXT), "Shown part.\r\n");
    DeclineTerms(terms);
}

TEST_F(WizardE2eTest, MissingWelcomeAndTermsTextsLeaveThePagesEmpty) {
    DeleteFileA(m_medium.Path("Setup2.txt").c_str());
    DeleteFileA(m_medium.Path("terms.txt").c_str());
    StartSetup("Example");
    SeenWindow welcome = Expect("the welcome page");
    EXPECT_EQ(EditText(welcome, IDC_WELCOME_TEXT), "");
    m_setup.Click(welcome, IDOK);
    SeenWindow terms = Expect("the terms page");
    EXPECT_EQ(EditText(terms, IDC_TERMS_TEXT), "");
    m_setup.Click(terms, IDOK);  // I Agree works on empty terms
    SeenWindow destination = Expect("the destination page");
    m_setup.Click(destination, IDCANCEL);
    DeclineTerms(Expect("the terms page again"));
}

TEST_F(WizardE2eTest, WelcomeTextBesideTheProgramTermsFromTheWorkingDirectory) {
    TempDir program;
    program.Write("Setup2.txt", "Welcome text beside the program.");
    m_medium.Write("Setup2.txt", "Welcome text of the working directory.");
    StartSetupFrom(program, "Example");
    SeenWindow welcome = Expect("the welcome page");
    EXPECT_EQ(EditText(welcome, IDC_WELCOME_TEXT), "Welcome text beside the program.");
    m_setup.Click(welcome, IDOK);
    SeenWindow terms = Expect("the terms page");
    EXPECT_EQ(EditText(terms, IDC_TERMS_TEXT), kTermsText);
    DeclineTerms(terms);
}

TEST_F(WizardE2eTest, CancelOnTheWelcomePageExitsWith4) {
    StartSetup("Example");
    SeenWindow welcome = Expect("the welcome page");
    m_setup.Click(welcome, IDCANCEL);
    m_setup.Click(Expect("the cancel question"), IDYES);
    ExpectEndWithoutWindow();
    EXPECT_EQ(m_setup.ExitCode(), 4u);
}

TEST_F(WizardE2eTest, ADestinationOnTheCommandLineIsWhatTheDestinationPageOffers) {
    StartSetup("Example /D=D:\\Pre  Set\\Example");
    m_setup.Click(Expect("the welcome page"), IDOK);
    m_setup.Click(Expect("the terms page"), IDOK);
    SeenWindow destination = Expect("the destination page");
    ExpectDestination(destination, "Example Setup", "D:\\Pre  Set\\Example");
    m_setup.Click(destination, IDCANCEL);  // Back
    DeclineTerms(Expect("the terms page again"));
    EXPECT_EQ(m_setup.ExitCode(), 4u);  // declining the terms is cancelling too
}
