#include "engine/shortcuts.h"

#include "app/run_boxes.h"
#include "engine/run_report.h"
#include "fw/app.h"
#include "fw/message_box.h"
#include "fw/wnd.h"
#include "tests/temp_dir.h"

#include <objbase.h>
#include <shlguid.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Box {
    HWND owner;
    std::string text;
    std::string caption;
    UINT style;
};

struct Shortcut {
    std::string link, target, description;
};

// Target and description of the link file |path|, read back through the shell
// link object; false when it cannot be loaded.
bool ReadLink(const std::string& path, std::string& target, std::string& description) {
    bool ok = false;
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            std::wstring wide(path.begin(), path.end());
            char buffer[1024] = "";
            if (SUCCEEDED(file->Load(wide.c_str(), STGM_READ)) &&
                SUCCEEDED(link->GetPath(buffer, MAX_PATH, nullptr, SLGP_RAWPATH))) {
                target = buffer;
                buffer[0] = '\0';
                ok = SUCCEEDED(link->GetDescription(buffer, sizeof buffer));
                description = buffer;
            }
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return ok;
}

// Names of the entries of |dir|, sorted.
std::vector<std::string> Listing(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

// The shortcut phase over a file list, with links in a folder of
// the test's own, log lines and boxes recorded, boxes owned by a real window
// (message-only, so that no display is needed).
class CreateProgramShortcutsTest : public ::testing::Test {
protected:
    CreateProgramShortcutsTest() {
        m_log.SetLineObserver([this](const std::string& line) {
            // Drop the time stamp "%d %b %Y %H:%M:%S ": four words.
            size_t at = 0;
            for (int i = 0; i < 4 && at != std::string::npos; ++i) at = line.find(' ', at) + 1;
            m_lines.push_back(line.substr(at));
        });
        SetMessageBoxHook([this](HWND owner, const char* text, const char* caption, UINT style) {
            m_boxes.push_back({owner, text, caption ? caption : "<none>", style});
            return IDOK;
        });
        m_owner.m_hWnd = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        m_dir.Write("app\\program.exe", "MZ");
        m_dir.Write("app\\uninstall.exe", "MZ");
    }
    ~CreateProgramShortcutsTest() override {
        m_log.SetLineObserver(nullptr);
        SetMessageBoxHook(nullptr);
        m_owner.DestroyWindow();
    }

    // The phase over |shortcuts| as the run takes it, links written through
    // |linkClass|: each in file order, its failure reported.
    void Run(const std::vector<Shortcut>& shortcuts, const CLSID& linkClass = CLSID_ShellLink) {
        FileList list;
        MessageBoxRunUi ui(m_owner.m_hWnd);  // the boxes as the progress dialog shows them
        for (const Shortcut& shortcut : shortcuts) {
            ShortcutEntry entry;
            entry.m_pszLink.Assign(shortcut.link);
            entry.m_pszTarget.Assign(shortcut.target);
            entry.m_pszDescription.Assign(shortcut.description);
            ReportFailure(CreateProgramShortcut(entry, m_log, m_record, linkClass), ui, m_log, list);
        }
    }

    void ExpectLink(const Shortcut& shortcut) {
        std::string target, description;
        ASSERT_TRUE(ReadLink(shortcut.link, target, description)) << shortcut.link;
        EXPECT_EQ(target, shortcut.target);
        EXPECT_EQ(description, shortcut.description);
    }

    void ExpectShortcutBoxes(const std::vector<std::string>& targets) {
        ASSERT_EQ(m_boxes.size(), targets.size());
        for (size_t i = 0; i < targets.size(); ++i) {
            EXPECT_EQ(m_boxes[i].text, "Failed to create start menu shortcut to\n" + targets[i] +
                                           "\nYou still can run the program from its directory");
            ExpectOwnedOkBox(m_boxes[i]);
        }
    }

    void ExpectOwnedOkBox(const Box& box) {
        EXPECT_EQ(box.owner, m_owner.m_hWnd);
        EXPECT_EQ(box.caption, AfxGetAppName());
        EXPECT_EQ(box.style, static_cast<UINT>(MB_OK));
    }

    TempDir m_dir;
    InstallLog m_log;
    CWnd m_owner;
    std::vector<std::string> m_lines;
    std::vector<Box> m_boxes;
    const std::string m_program = m_dir.Path("app\\program.exe");
    const std::string m_uninstall = m_dir.Path("app\\uninstall.exe");
    InstallRecord m_record;  // what the phase makes (engine/effect_kinds_test checks it)
};

TEST_F(CreateProgramShortcutsTest, TwoEntriesInOneNewGroup) {
    ASSERT_NE(m_owner.m_hWnd, nullptr);
    Run({});
    EXPECT_TRUE(m_lines.empty());
    EXPECT_TRUE(m_boxes.empty());

    std::string group = m_dir.Path("Group\\Sub");
    Shortcut one{group + "\\Program.lnk", m_program, "Runs the program"};
    Shortcut two{group + "\\Uninstall.lnk", m_uninstall, ""};
    Run({one, two});

    std::vector<std::string> expected = {
        "Created: " + m_dir.Path("Group"),
        "Created: " + group,
        "Directory " + one.link + " certified to be ok",
        "Successfully created: " + one.link,
        "Directory " + two.link + " certified to be ok",
        "Successfully created: " + two.link,
    };
    EXPECT_EQ(m_lines, expected);
    EXPECT_TRUE(m_boxes.empty());
    ExpectLink(one);
    ExpectLink(two);
}

TEST_F(CreateProgramShortcutsTest, GroupFailuresAreReportedAndThePhaseGoesOn) {
    m_dir.Write("file", "in the way");
    Shortcut noBackslash{"Program.lnk", m_program, "no group"};
    Shortcut underFile1{m_dir.Path("file\\Group\\One.lnk"), m_program, "below a file"};
    Shortcut underFile2{m_dir.Path("file\\Group\\Two.lnk"), m_uninstall, "below a file"};
    Shortcut good{m_dir.Path("Group\\Readme"), m_program, "Read me"};  // no .lnk: saved as given
    Run({noBackslash, underFile1, underFile2, good});

    // A link path without backslash: only the group line, no directory line
    // before it. A failed group is tried again for each later entry in it.
    std::string error = "Error creating directory " + m_dir.Path("file\\Group") + ": ";
    ASSERT_EQ(m_lines.size(), 8u);
    EXPECT_EQ(m_lines[0], "Failed to create group: Program.lnk.");
    EXPECT_EQ(m_lines[1].substr(0, error.size()), error);
    EXPECT_EQ(m_lines[2], "Failed to create group: " + underFile1.link + ".");
    EXPECT_EQ(m_lines[3].substr(0, error.size()), error);
    EXPECT_EQ(m_lines[4], "Failed to create group: " + underFile2.link + ".");
    EXPECT_EQ(m_lines[5], "Created: " + m_dir.Path("Group"));
    EXPECT_EQ(m_lines[6], "Directory " + good.link + " certified to be ok");
    EXPECT_EQ(m_lines[7], "Successfully created: " + good.link);

    ASSERT_EQ(m_boxes.size(), 3u);
    for (const Box& box : m_boxes) {
        EXPECT_EQ(box.text,
                  "Failed to create group.\nYou still can run the program and\nuninstaller from their directory");
        ExpectOwnedOkBox(box);
    }
    EXPECT_EQ(Listing(m_dir.Path("Group")), std::vector<std::string>{"Readme"});
    ExpectLink(good);
}

TEST_F(CreateProgramShortcutsTest, ShellLinkClassMissingGivesOneBoxPerEntry) {
    static const CLSID kNoSuchClass = {0x5e7a0b1c, 0x1d2e, 0x4f30, {0x8a, 0x9b, 0xac, 0xbd, 0xce, 0xdf, 0xe0, 0xf1}};
    Shortcut one{m_dir.Path("Group\\Program.lnk"), m_program, "Runs the program"};
    Shortcut two{m_dir.Path("Group\\Uninstall.lnk"), m_uninstall, "Removes the program"};
    EXPECT_TRUE(FAILED(CreateShortcut(one.target.c_str(), one.link.c_str(), one.description.c_str(), kNoSuchClass)));
    Run({one, two}, kNoSuchClass);

    std::vector<std::string> expected = {
        "Created: " + m_dir.Path("Group"),
        "Directory " + one.link + " certified to be ok",
        "Failed to create shortcut to " + m_program,
        "Directory " + two.link + " certified to be ok",
        "Failed to create shortcut to " + m_uninstall,
    };
    EXPECT_EQ(m_lines, expected);
    ExpectShortcutBoxes({m_program, m_uninstall});
    EXPECT_TRUE(Listing(m_dir.Path("Group")).empty());

    // The shell link class writes it.
    EXPECT_EQ(CreateShortcut(one.target.c_str(), one.link.c_str(), one.description.c_str()), S_OK);
    ExpectLink(one);
}

TEST_F(CreateProgramShortcutsTest, LinkPathMustFitWithItsTerminator) {
    // 259 characters and the terminator fill the 260 wide characters exactly;
    // one more and the link would only fit under a cut name.
    std::string dir = m_dir.Path("Long");
    size_t nameLength = 259 - dir.size() - 1;
    ASSERT_GT(nameLength, 8u);
    Shortcut fits{dir + "\\" + std::string(nameLength - 4, 'a') + ".lnk", m_program, "fits"};
    Shortcut tooLong{dir + "\\" + std::string(nameLength - 3, 'b') + ".lnk", m_uninstall, "too long"};
    ASSERT_EQ(fits.link.size(), 259u);
    ASSERT_EQ(tooLong.link.size(), 260u);
    EXPECT_EQ(CreateShortcut(tooLong.target.c_str(), tooLong.link.c_str(), tooLong.description.c_str()),
              HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
    Run({fits, tooLong});

    ASSERT_EQ(m_lines.size(), 5u);
    EXPECT_EQ(m_lines[2], "Successfully created: " + fits.link);
    EXPECT_EQ(m_lines[4], "Failed to create shortcut to " + m_uninstall);
    ExpectShortcutBoxes({m_uninstall});
    std::string fitsName = fits.link.substr(dir.size() + 1);
    EXPECT_EQ(Listing(dir), std::vector<std::string>{fitsName});
    ExpectLink(fits);
}
