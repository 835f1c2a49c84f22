// The installer's ExpandFile: its boxes (shown as the progress dialog shows
// them) and results.
#include "engine/expand_payload.h"

#include "app/run_boxes.h"
#include "expand/lzhuf_encode.h"
#include "fw/message_box.h"
#include "tests/medium_bytes.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Box {
    HWND owner;
    std::string text;
    bool hasCaption;
    UINT style;
};

class ExpandFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageBoxHook([this](HWND owner, const char* text, const char* caption, UINT style) {
            m_boxes.push_back({owner, text, caption != nullptr, style});
            return IDOK;
        });
        m_dir.Write("good", Payload("Hello, installer\r\n"));
        m_dir.Write("short", std::string("\x05\0\0", 3));
    }
    void TearDown() override {
        SetMessageBoxHook(nullptr);
    }
    static std::string Payload(const std::string& text) {
        std::vector<uint8_t> file;
        EncodeLzhuf(reinterpret_cast<const uint8_t*>(text.data()), text.size(), file);
        return std::string(file.begin(), file.end());
    }
    void ExpectOneErrorBox(const std::string& text, HWND owner) {
        ASSERT_EQ(m_boxes.size(), 1u);
        EXPECT_EQ(m_boxes[0].text, text);
        EXPECT_FALSE(m_boxes[0].hasCaption);
        EXPECT_EQ(m_boxes[0].style, UINT(MB_OK | MB_ICONERROR));
        EXPECT_EQ(m_boxes[0].owner, owner);
        m_boxes.clear();
    }

    TempDir m_dir;
    std::vector<Box> m_boxes;
    MessageBoxRunUi m_ui;
    Medium m_medium;  // a folder medium without setup.sum
    InstallLog m_log;
};

}  // namespace

TEST_F(ExpandFileTest, ExpandsWithoutABox) {
    EXPECT_EQ(ExpandFile(m_dir.Path("good").c_str(), m_dir.Path("out").c_str(), m_ui, m_medium, m_log), 0);
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_EQ(m_dir.Read("out"), "Hello, installer\r\n");
}

TEST_F(ExpandFileTest, ShowsEachFailureOwnedByTheProgressWindow) {
    // Before the progress dialog exists the boxes have no owner.
    const std::string missing = m_dir.Path("missing");
    EXPECT_EQ(ExpandFile(missing.c_str(), m_dir.Path("out").c_str(), m_ui, m_medium, m_log), 1);
    ExpectOneErrorBox("Erro de abertura no arquivo " + missing, nullptr);

    // The hook answers the boxes, so any handle can stand for the dialog.
    HWND progress = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));
    m_ui.m_hWnd = progress;
    const std::string badDest = m_dir.Path("no-such-folder\\out");
    EXPECT_EQ(ExpandFile(m_dir.Path("good").c_str(), badDest.c_str(), m_ui, m_medium, m_log), 1);
    ExpectOneErrorBox("Erro de abertura no arquivo " + badDest, progress);

    EXPECT_EQ(ExpandFile(m_dir.Path("short").c_str(), m_dir.Path("empty").c_str(), m_ui, m_medium, m_log), 1);
    ExpectOneErrorBox("Erro de leitura", progress);
    EXPECT_FALSE(m_dir.Exists("empty"));  // no file rather than an empty one
    EXPECT_EQ(m_dir.Count(), 2u);         // good and short: no temporary file either
}

TEST_F(ExpandFileTest, ADestinationThatCannotBeReplacedLeavesNoTemporaryFile) {
    // A directory in the destination's place: the expansion is complete but
    // cannot be renamed over it.
    CreateDirectoryA(m_dir.Path("taken").c_str(), nullptr);
    const std::string taken = m_dir.Path("taken");
    EXPECT_EQ(ExpandFile(m_dir.Path("good").c_str(), taken.c_str(), m_ui, m_medium, m_log), 1);
    ExpectOneErrorBox("Erro de acesso ao arquivo " + taken, nullptr);
    EXPECT_EQ(m_dir.Count(), 3u);
}

TEST_F(ExpandFileTest, ThePayloadsResultSaysWhatFailedAndWhere) {
    const std::string missing = m_dir.Path("missing"), badDest = m_dir.Path("no-such-folder\\out");
    RunResult result = ExpandPayload(missing.c_str(), m_dir.Path("out").c_str(), m_ui, m_medium, m_log);
    EXPECT_EQ(result.what, RunOutcome::kExpandFailed);
    EXPECT_EQ(result.path, missing);
    result = ExpandPayload(m_dir.Path("good").c_str(), badDest.c_str(), m_ui, m_medium, m_log);
    EXPECT_EQ(result.what, RunOutcome::kExpandFailed);
    EXPECT_EQ(result.path, badDest);
    EXPECT_EQ(m_boxes.size(), 2u);
    m_boxes.clear();

    // A payload that setup.sum does not list is damage, with no box of the expander's.
    Medium summed;
    ASSERT_TRUE(UseSum(summed, m_dir.Path(), SetupSum()));
    result = ExpandPayload(m_dir.Path("good").c_str(), m_dir.Path("out").c_str(), m_ui, summed, m_log);
    EXPECT_EQ(result.what, RunOutcome::kDamaged);
    EXPECT_EQ(result.path, m_dir.Path("good"));
    EXPECT_FALSE(m_dir.Exists("out"));
    m_boxes.clear();

    EXPECT_FALSE(ExpandPayload(m_dir.Path("good").c_str(), m_dir.Path("out").c_str(), m_ui, m_medium, m_log).Failed());
    EXPECT_EQ(m_dir.Read("out"), "Hello, installer\r\n");
}
