// The installer's expander: its results, and the expander's own boxes as the
// run reports them (shown as the progress dialog shows them).
#include "engine/expand_payload.h"

#include "app/run_boxes.h"
#include "engine/run_report.h"
#include "expand/lzhuf_encode.h"
#include "expand/lzma_payload.h"
#include "expand/solid_block.h"
#include "fw/message_box.h"
#include "tests/medium_bytes.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
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

    // Expands |source| into |dest|, its failure reported as the run reports
    // it; true when |dest| was written.
    bool Expanded(const std::string& source, const std::string& dest) {
        const RunResult expanded = ExpandPayload(source.c_str(), dest.c_str(), m_medium);
        ReportFailure(expanded, m_ui, m_log, m_list);
        return !expanded.Failed();
    }

    TempDir m_dir;
    std::vector<Box> m_boxes;
    MessageBoxRunUi m_ui;
    Medium m_medium;  // a folder medium without setup.sum
    InstallLog m_log;
    FileList m_list;
};

}  // namespace

TEST_F(ExpandFileTest, ExpandsWithoutABox) {
    EXPECT_TRUE(Expanded(m_dir.Path("good"), m_dir.Path("out")));
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_EQ(m_dir.Read("out"), "Hello, installer\r\n");
}

TEST_F(ExpandFileTest, ShowsEachFailureOwnedByTheProgressWindow) {
    // Before the progress dialog exists the boxes have no owner.
    const std::string missing = m_dir.Path("missing");
    EXPECT_FALSE(Expanded(missing, m_dir.Path("out")));
    ExpectOneErrorBox("Erro de abertura no arquivo " + missing, nullptr);

    // The hook answers the boxes, so any handle can stand for the dialog.
    HWND progress = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));
    m_ui.m_hWnd = progress;
    const std::string badDest = m_dir.Path("no-such-folder\\out");
    EXPECT_FALSE(Expanded(m_dir.Path("good"), badDest));
    ExpectOneErrorBox("Erro de abertura no arquivo " + badDest, progress);

    EXPECT_FALSE(Expanded(m_dir.Path("short"), m_dir.Path("empty")));
    ExpectOneErrorBox("Erro de leitura", progress);
    EXPECT_FALSE(m_dir.Exists("empty"));  // no file rather than an empty one
    EXPECT_EQ(m_dir.Count(), 2u);         // good and short: no temporary file either
}

TEST_F(ExpandFileTest, ADestinationThatCannotBeReplacedLeavesNoTemporaryFile) {
    // A directory in the destination's place: the expansion is complete but
    // cannot be renamed over it.
    CreateDirectoryA(m_dir.Path("taken").c_str(), nullptr);
    const std::string taken = m_dir.Path("taken");
    EXPECT_FALSE(Expanded(m_dir.Path("good"), taken));
    ExpectOneErrorBox("Erro de acesso ao arquivo " + taken, nullptr);
    EXPECT_EQ(m_dir.Count(), 3u);
}

TEST_F(ExpandFileTest, ThePayloadsResultSaysWhatFailedAndWhere) {
    const std::string missing = m_dir.Path("missing"), badDest = m_dir.Path("no-such-folder\\out");
    RunResult result = ExpandPayload(missing.c_str(), m_dir.Path("out").c_str(), m_medium);
    EXPECT_EQ(result.what, RunOutcome::kExpanderError);
    EXPECT_EQ(result.path, missing);
    EXPECT_EQ(result.detail, "Erro de abertura no arquivo " + missing);
    result = ExpandPayload(m_dir.Path("good").c_str(), badDest.c_str(), m_medium);
    EXPECT_EQ(result.what, RunOutcome::kExpanderError);
    EXPECT_EQ(result.path, badDest);
    EXPECT_TRUE(m_boxes.empty());  // the run reports what failed

    // A payload that setup.sum does not list is damage, with no box of the expander's.
    Medium summed;
    ASSERT_TRUE(UseSum(summed, m_dir.Path(), SetupSum()));
    result = ExpandPayload(m_dir.Path("good").c_str(), m_dir.Path("out").c_str(), summed);
    EXPECT_EQ(result.what, RunOutcome::kDamaged);
    EXPECT_EQ(result.path, m_dir.Path("good"));
    EXPECT_FALSE(m_dir.Exists("out"));

    EXPECT_FALSE(ExpandPayload(m_dir.Path("good").c_str(), m_dir.Path("out").c_str(), m_medium).Failed());
    EXPECT_EQ(m_dir.Read("out"), "Hello, installer\r\n");
}

// Files of a solid block, placed as the interactive run places them (none
// decoded ahead): each from the block, in any order; with the block changed,
// refused as damage and not placed.
TEST_F(ExpandFileTest, AMemberOfASolidBlockIsTakenFromItsBlock) {
    const std::string parts[] = {"The first file\r\n", "and the second one\r\n"};
    const std::string names[] = {"first", "second"};
    const std::string expansion = parts[0] + parts[1];
    std::vector<uint8_t> block;
    ASSERT_TRUE(EncodeLzma(reinterpret_cast<const uint8_t*>(expansion.data()), expansion.size(), block,
                           kLzmaMaxDictionary, kFormSolidBlock));
    SetupSum sum;
    auto add = [&sum](const std::string& name, const std::string& content, const std::vector<uint8_t>& packed) {
        SumEntry entry{name, content.size(), {}};
        entry.packed = true;
        entry.packedSize = packed.size();
        ASSERT_TRUE(HashBytes(reinterpret_cast<const uint8_t*>(content.data()), content.size(), entry.sha256));
        ASSERT_TRUE(HashBytes(packed.data(), packed.size(), entry.packedSha256));
        sum.Add(entry);
    };
    add(SolidBlockName(1), expansion, block);
    for (size_t i = 0; i < 2; ++i) {
        std::vector<uint8_t> member(kSolidMemberSize);
        WriteSolidMember({1, i ? parts[0].size() : 0, parts[i].size()}, member.data());
        m_dir.Write(names[i], std::string(member.begin(), member.end()));
        add(names[i], parts[i], member);
    }
    m_dir.Write(SolidBlockName(1), std::string(block.begin(), block.end()));
    // A folder medium's files are where the program runs.
    const std::filesystem::path saved = std::filesystem::current_path();
    std::filesystem::current_path(m_dir.Path());
    Medium solid;
    ASSERT_TRUE(UseSum(solid, m_dir.Path(), sum));
    for (size_t i : {1u, 0u}) {
        EXPECT_FALSE(ExpandPayload(names[i].c_str(), m_dir.Path("out-" + names[i]).c_str(), solid).Failed());
        EXPECT_EQ(m_dir.Read("out-" + names[i]), parts[i]);
    }
    block[block.size() / 2] ^= 1;
    m_dir.Write(SolidBlockName(1), std::string(block.begin(), block.end()));
    Medium changed;
    ASSERT_TRUE(UseSum(changed, m_dir.Path(), sum));
    const RunResult result = ExpandPayload(names[0].c_str(), m_dir.Path("damaged").c_str(), changed);
    std::filesystem::current_path(saved);
    EXPECT_EQ(result.what, RunOutcome::kDamaged);
    EXPECT_EQ(result.path, names[0]);
    EXPECT_FALSE(m_dir.Exists("damaged"));
    EXPECT_TRUE(m_boxes.empty());
}
