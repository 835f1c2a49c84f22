// The wizard pages in this process, on the program's own templates: each page
// runs its real modal loop while a thread timer plays the user.
#include "app/wizard_pages.h"

#include "app/command_line.h"
#include "app/wizard_texts.h"
#include "formats/medium.h"
#include "fw/message_box.h"
#include "res/resource.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace {

using Action = std::function<void(HWND page)>;

// The user's actions, one per timer tick, on the page that runs modally.
struct Player {
    CDialog* page = nullptr;
    std::deque<Action> actions;
    DWORD deadline = 0;
    bool timedOut = false;
};
Player* g_player = nullptr;

void CALLBACK PlayNext(HWND, UINT, UINT_PTR, DWORD) {
    Player& p = *g_player;
    if (!p.page->m_hWnd || !IsWindowVisible(p.page->m_hWnd)) return;
    if (!p.actions.empty()) {
        Action next = std::move(p.actions.front());
        p.actions.pop_front();
        next(p.page->m_hWnd);
    } else if (GetTickCount() > p.deadline && !p.timedOut) {
        // The page did not end as the scenario expected: end its loop.
        p.timedOut = true;
        PostQuitMessage(0);
    }
}

// Runs |page| modally while |actions| are played on it, one each 30 ms.
// A page still open 3 s after the last action fails the test instead of hanging it.
INT_PTR RunPage(CDialog& page, std::deque<Action> actions) {
    Player player{&page, std::move(actions), 0, false};
    player.deadline = GetTickCount() + 3000 + 30 * static_cast<DWORD>(player.actions.size());
    g_player = &player;
    UINT_PTR timer = SetTimer(nullptr, 0, 30, PlayNext);
    INT_PTR result = page.DoModal();
    KillTimer(nullptr, timer);
    g_player = nullptr;
    MSG quit;
    PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    EXPECT_FALSE(player.timedOut) << "the page stayed open";
    EXPECT_TRUE(player.actions.empty()) << "the page ended before its last action";
    return result;
}

void Press(HWND page, int id) { PostMessageA(page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(page, id))); }

// A key typed into the control that has the focus, as the modal loop sees it.
void Type(HWND page, WORD key) {
    HWND focus = GetFocus();
    HWND target = (focus && IsChild(page, focus)) ? focus : GetDlgItem(page, IDOK);
    PostMessageA(target, WM_KEYDOWN, key, 1);
    PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

std::string Text(HWND window) {
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

struct Box {
    HWND owner;
    std::string text;
    std::string caption;
    UINT style;
};

// Records the message boxes and answers them from a script.
class ScriptedBoxes {
public:
    explicit ScriptedBoxes(std::deque<int> answers) : m_answers(std::move(answers)) {
        SetMessageBoxHook([this](HWND owner, const char* text, const char* caption, UINT style) {
            m_boxes.push_back({owner, text ? text : "", caption ? caption : "(none)", style});
            if (m_answers.empty()) return IDCANCEL;
            int answer = m_answers.front();
            m_answers.pop_front();
            return answer;
        });
    }
    ~ScriptedBoxes() { SetMessageBoxHook(nullptr); }
    ScriptedBoxes(const ScriptedBoxes&) = delete;
    ScriptedBoxes& operator=(const ScriptedBoxes&) = delete;

    std::vector<Box> m_boxes;

private:
    std::deque<int> m_answers;
};

// Makes a folder the working directory while it lives.
class ScopedWorkingDir {
public:
    explicit ScopedWorkingDir(const std::string& dir) {
        GetCurrentDirectoryA(MAX_PATH, m_saved);
        SetCurrentDirectoryA(dir.c_str());
    }
    ~ScopedWorkingDir() { SetCurrentDirectoryA(m_saved); }

private:
    char m_saved[MAX_PATH] = "";
};

// Counts the WM_ICONERASEBKGND messages (with a device context) that reach the
// page: its own painting of the minimised page starts with one.
int g_iconErasures = 0;
WNDPROC g_pageProc = nullptr;
LRESULT CALLBACK CountIconErasures(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_ICONERASEBKGND && wp) ++g_iconErasures;
    return CallWindowProcA(g_pageProc, w, m, wp, lp);
}

const char kCancelQuestion[] = "If you cancel you will NOT install the program.\nDo you really want to cancel?";

}  // namespace

TEST(WelcomePage, ShowsTitleTextAndIconAndAsksBeforeEveryWayOfCancelling) {
    ScriptedBoxes boxes({IDNO, IDNO, IDYES});
    CWelcomeDlg page;
    ASSERT_NE(page.m_hIcon, nullptr);
    page.m_strTitle = "A B Setup";
    page.m_strText = "Line 1\r\nLine 2 100%s\r\n";
    std::vector<HWND> stillOpen;
    INT_PTR result = RunPage(page, {
        [&](HWND p) {
            EXPECT_EQ(Text(p), "A B Setup");
            EXPECT_EQ(Text(GetDlgItem(p, IDC_WELCOME_TEXT)), "Line 1\r\nLine 2 100%s\r\n");
            EXPECT_EQ(SendMessageA(p, WM_GETICON, ICON_BIG, 0), reinterpret_cast<LRESULT>(page.m_hIcon));
            EXPECT_EQ(SendMessageA(p, WM_GETICON, ICON_SMALL, 0), reinterpret_cast<LRESULT>(page.m_hIcon));
            EXPECT_EQ(SendMessageA(p, WM_QUERYDRAGICON, 0, 0), reinterpret_cast<LRESULT>(page.m_hIcon));
            EXPECT_EQ(GetDlgCtrlID(GetFocus()), IDOK);
            Press(p, IDCANCEL);  // No
        },
        [&](HWND p) {
            if (IsWindowVisible(p)) stillOpen.push_back(p);
            Type(p, VK_ESCAPE);  // No
        },
        [&](HWND p) {
            if (IsWindowVisible(p)) stillOpen.push_back(p);
            PostMessageA(p, WM_SYSCOMMAND, SC_CLOSE, 0);  // the close box; Yes
        },
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(stillOpen.size(), 2u);
    ASSERT_EQ(boxes.m_boxes.size(), 3u);
    for (const Box& box : boxes.m_boxes) {
        EXPECT_EQ(box.owner, stillOpen.empty() ? nullptr : stillOpen[0]);
        EXPECT_EQ(box.text, kCancelQuestion);
        EXPECT_EQ(box.caption, "WARNING");
        EXPECT_EQ(box.style, static_cast<UINT>(MB_YESNO));
    }
}

TEST(WelcomePage, ContinueAndEnterEndItWithoutAQuestion) {
    ScriptedBoxes boxes({});
    CWelcomeDlg first;
    EXPECT_EQ(RunPage(first, {[](HWND p) { Press(p, IDOK); }}), IDOK);
    CWelcomeDlg second;
    EXPECT_EQ(RunPage(second, {[](HWND p) { Type(p, VK_RETURN); }}), IDOK);
    EXPECT_TRUE(boxes.m_boxes.empty());
}

TEST(WelcomePage, PaintsItsIconOnlyWhileMinimised) {
    g_iconErasures = 0;
    int whileNormal = -1, whileMinimised = -1;
    CWelcomeDlg page;
    RunPage(page, {
        [&](HWND p) {
            g_pageProc = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrA(p, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountIconErasures)));
            SendMessageA(p, WM_PAINT, 0, 0);
            whileNormal = g_iconErasures;
            ShowWindow(p, SW_MINIMIZE);
            EXPECT_TRUE(IsIconic(p));
            SendMessageA(p, WM_PAINT, 0, 0);
            whileMinimised = g_iconErasures;
            ShowWindow(p, SW_RESTORE);
            SetWindowLongPtrA(p, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_pageProc));
            Press(p, IDOK);
        },
    });
    EXPECT_EQ(whileNormal, 0);
    EXPECT_EQ(whileMinimised, 1);
}

class TermsPage : public ::testing::Test {
protected:
    // The medium of the working directory, read as at start-up.
    void LoadMedium() {
        std::string damaged;
        m_medium.UseFolder("Setup2.txt");
        ASSERT_TRUE(m_medium.Load(damaged)) << damaged;
    }
    // The terms the sequence gives the page.
    std::string Terms() const { return TermsTextShown(m_medium.Terms()); }

    Medium m_medium;
    TempDir m_dir;
    ScopedWorkingDir m_cwd{m_dir.Path()};
    ScriptedBoxes m_boxes{{}};
};

TEST_F(TermsPage, ShowsTheTermsReadFromTheMediumUpToTheirFirstZeroByte) {
    m_dir.Write("terms.txt", std::string("1. You agree.\r\n2. Really \xE9.\r\n\0not shown", 39));
    ASSERT_NO_FATAL_FAILURE(LoadMedium());
    m_dir.Write("terms.txt", "changed after start-up");
    std::string shown;
    CTermsDlg page;
    page.m_strText = Terms();
    INT_PTR result = RunPage(page, {[&](HWND p) {
        EXPECT_EQ(Text(p), "Terms and Conditions");
        shown = Text(GetDlgItem(p, IDC_TERMS_TEXT));
        Press(p, IDOK);
    }});
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(shown, "1. You agree.\r\n2. Really \xE9.\r\n");
}

TEST_F(TermsPage, MissingTermsLeaveTheBoxEmptyAndIAgreeStillWorks) {
    ASSERT_NO_FATAL_FAILURE(LoadMedium());
    std::string shown = "?";
    CTermsDlg page;
    page.m_strText = Terms();
    EXPECT_EQ(RunPage(page, {[&](HWND p) {
                  shown = Text(GetDlgItem(p, IDC_TERMS_TEXT));
                  Press(p, IDOK);
              }}),
              IDOK);
    EXPECT_EQ(shown, "");
}

TEST_F(TermsPage, CancelAndEscEndItAtOnceWithoutAQuestion) {
    m_dir.Write("terms.txt", "Terms");
    ASSERT_NO_FATAL_FAILURE(LoadMedium());
    CTermsDlg byButton;
    byButton.m_strText = Terms();
    EXPECT_EQ(RunPage(byButton, {[](HWND p) { Press(p, IDCANCEL); }}), IDCANCEL);
    CTermsDlg byKey;
    byKey.m_strText = Terms();
    EXPECT_EQ(RunPage(byKey, {[](HWND p) { Type(p, VK_ESCAPE); }}), IDCANCEL);
    EXPECT_TRUE(m_boxes.m_boxes.empty());
}

class DestDirPage : public ::testing::Test {
protected:
    // Shows the page with the list's default, types |typed| over it, and
    // leaves it with |key|.
    INT_PTR TypeAndLeave(CDestDirDlg& page, const std::string& typed, WORD key) {
        page.m_strDefaultDestDir = m_defaultDestDir;
        return RunPage(page, {[&](HWND p) {
            m_shownTitle = Text(p);
            m_shownDefault = Text(GetDlgItem(p, IDC_DEST_DIR));
            SetWindowTextA(GetDlgItem(p, IDC_DEST_DIR), typed.c_str());
            Type(p, key);
        }});
    }

    std::string m_defaultDestDir = "C:\\Program Files\\Example";  // the list's X line
    std::string m_shownTitle;
    std::string m_shownDefault;
};

TEST_F(DestDirPage, OpensWithTheDefaultAndKeepsTheTextExactlyAsTyped) {
    CDestDirDlg page;
    page.m_strTitle = "My 100% Product Setup";
    EXPECT_EQ(TypeAndLeave(page, "  D:\\Apps\\My Product\\ ", VK_RETURN), IDOK);
    EXPECT_EQ(m_shownTitle, "My 100% Product Setup");
    EXPECT_EQ(m_shownDefault, "C:\\Program Files\\Example");
    EXPECT_EQ(page.m_strDestDir, "  D:\\Apps\\My Product\\ ");
}

TEST_F(DestDirPage, ADirectoryThatIsNotAFullPathIsRefusedWithABoxAndThePageStaysOpen) {
    ScriptedBoxes boxes({});
    CDestDirDlg page;
    page.m_strDefaultDestDir = m_defaultDestDir;
    HWND shown = nullptr;
    std::deque<Action> actions;
    for (const char* typed : {"", "Apps\\Relative", "C:", "D:\\Chosen"}) {
        actions.push_back([&shown, typed](HWND p) {
            shown = p;
            SetWindowTextA(GetDlgItem(p, IDC_DEST_DIR), typed);
            Type(p, VK_RETURN);
        });
    }
    EXPECT_EQ(RunPage(page, actions), IDOK);
    EXPECT_EQ(page.m_strDestDir, "D:\\Chosen");
    ASSERT_EQ(boxes.m_boxes.size(), 3u);
    EXPECT_EQ(boxes.m_boxes[1].text, DestDirRefusal("Apps\\Relative"));
    EXPECT_EQ(boxes.m_boxes[1].text.rfind("The destination directory must be a full path: Apps\\Relative\n", 0), 0u);
    for (const Box& box : boxes.m_boxes) {
        EXPECT_EQ(box.owner, shown);
        EXPECT_EQ(box.caption, "Error");
        EXPECT_EQ(box.style, UINT(MB_OK | MB_ICONEXCLAMATION));
    }
}

TEST_F(DestDirPage, BackAndEscForgetWhatWasTyped) {
    CDestDirDlg byButton;
    byButton.m_strDefaultDestDir = m_defaultDestDir;
    EXPECT_EQ(RunPage(byButton, {[](HWND p) {
                  SetWindowTextA(GetDlgItem(p, IDC_DEST_DIR), "D:\\Typed");
                  Press(p, IDCANCEL);
              }}),
              IDCANCEL);
    EXPECT_EQ(byButton.m_strDestDir, "");

    CDestDirDlg byKey;
    EXPECT_EQ(TypeAndLeave(byKey, "D:\\Typed", VK_ESCAPE), IDCANCEL);
    EXPECT_EQ(byKey.m_strDestDir, "");
    // The next showing starts again from the default.
    EXPECT_EQ(m_shownDefault, "C:\\Program Files\\Example");
}

TEST_F(DestDirPage, AListWithoutADefaultOpensWithAnEmptyBox) {
    m_defaultDestDir.clear();
    CDestDirDlg page;
    EXPECT_EQ(TypeAndLeave(page, "E:\\Chosen", VK_RETURN), IDOK);
    EXPECT_EQ(m_shownDefault, "");
    EXPECT_EQ(page.m_strDestDir, "E:\\Chosen");
}
