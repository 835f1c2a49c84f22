#include "engine/directory.h"

#include "engine/run_report.h"

#include "tests/app/log_recorder.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

// The run's boxes: a directory that cannot be made has none.
class NoBoxes : public RunUi {
public:
    bool ShowBox(RunBox, const std::string& text) override {
        ADD_FAILURE() << "a box: " << text;
        return false;
    }
    void ShowStatus(const std::string&, int) override {}
};

class EnsureDirectoryTest : public ::testing::Test {
protected:
    std::string Root(const std::string& rest = "") const { return m_dir.Path() + "\\" + rest; }
    bool IsDirectory(const std::string& path) const {
        DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    // EnsureDirectory, with its failure reported as the run reports it; true
    // when every level is there.
    bool Ensure(const std::string& path, std::string* known = nullptr) {
        const RunResult made = EnsureDirectory(path, m_installLog, m_record, known);
        ReportFailure(made, m_ui, m_installLog, m_list);
        return !made.Failed();
    }

    TempDir m_dir;
    NoBoxes m_ui;
    FileList m_list;
    InstallLog m_installLog;
    LogRecorder m_log{m_installLog};
    InstallRecord m_record;  // the levels made
};

TEST_F(EnsureDirectoryTest, ATrailingBackslashMakesTheLastLevelAFileNameDoesNot) {
    EXPECT_TRUE(Ensure(Root("a\\b\\")));
    EXPECT_TRUE(IsDirectory(Root("a\\b")));
    EXPECT_TRUE(Ensure(Root("c\\d")));
    EXPECT_TRUE(IsDirectory(Root("c")));
    EXPECT_FALSE(m_dir.Exists("c\\d"));
    EXPECT_EQ(m_log.Lines(), (Lines{"Created: " + Root("a"), "Created: " + Root("a\\b"),
                                    "Directory " + Root("a\\b\\") + " certified to be ok", "Created: " + Root("c"),
                                    "Directory " + Root("c\\d") + " certified to be ok"}));
}

TEST_F(EnsureDirectoryTest, ASecondCallOnlyCertifies) {
    const std::string path = Root("x\\y\\file.dll");
    ASSERT_TRUE(Ensure(path));
    m_log.Clear();
    EXPECT_TRUE(Ensure(path));
    EXPECT_EQ(m_log.Lines(), (Lines{"Directory " + path + " certified to be ok"}));
}

TEST_F(EnsureDirectoryTest, LevelsSharedWithTheDirectoryMadeSureOfBeforeAreNotMadeAgain) {
    std::string known;
    ASSERT_TRUE(Ensure(Root("k\\a\\one.txt"), &known));
    EXPECT_EQ(known, Root("k\\a\\"));
    // Taken as there without a look: removed behind its back, it stays away.
    ASSERT_TRUE(RemoveDirectoryA(Root("k\\a").c_str()));
    m_log.Clear();
    EXPECT_TRUE(Ensure(Root("k\\a\\two.txt"), &known));
    EXPECT_FALSE(IsDirectory(Root("k\\a")));
    // A sibling whose name begins like the known one's, and a level below.
    EXPECT_TRUE(Ensure(Root("k\\ab\\c\\three.txt"), &known));
    EXPECT_EQ(known, Root("k\\ab\\c\\"));
    EXPECT_TRUE(IsDirectory(Root("k\\ab\\c")));
    EXPECT_EQ(m_log.Lines(), (Lines{"Directory " + Root("k\\a\\two.txt") + " certified to be ok",
                                    "Created: " + Root("k\\ab"), "Created: " + Root("k\\ab\\c"),
                                    "Directory " + Root("k\\ab\\c\\three.txt") + " certified to be ok"}));
    // A level that cannot be made leaves the known directory as it was.
    m_dir.Write("k\\plain", "not a directory");
    EXPECT_FALSE(Ensure(Root("k\\plain\\sub\\four.txt"), &known));
    EXPECT_EQ(known, Root("k\\ab\\c\\"));
}

TEST_F(EnsureDirectoryTest, OnlyLevelsAfterTheFirstBackslashAreMade) {
    char previous[MAX_PATH];
    ASSERT_TRUE(GetCurrentDirectoryA(MAX_PATH, previous));
    ASSERT_TRUE(SetCurrentDirectoryA(m_dir.Path().c_str()));
    bool relative = Ensure("level\\file.txt");
    bool bare = Ensure("file.txt");
    SetCurrentDirectoryA(previous);

    EXPECT_TRUE(relative);
    EXPECT_FALSE(m_dir.Exists("level"));
    EXPECT_FALSE(bare);  // no backslash at all: nothing logged
    EXPECT_EQ(m_log.Lines(), (Lines{"Directory level\\file.txt certified to be ok"}));
}

TEST_F(EnsureDirectoryTest, AUncPathIsMadeBelowItsShare) {
    // Neither "\\", nor the server, nor the share is attempted: the first
    // level tried is the first directory below the share.
    EXPECT_FALSE(Ensure("\\\\no-such-server\\share\\dir\\"));
    ASSERT_FALSE(m_log.Lines().empty());
    EXPECT_EQ(m_log.Lines()[0].rfind("Error creating directory \\\\no-such-server\\share\\dir: ", 0), 0u)
        << m_log.Lines()[0];
}

TEST_F(EnsureDirectoryTest, ALevelUnderAPlainFileEndsTheWalkWithTheSystemText) {
    m_dir.Write("plain", "not a directory");
    // "plain" itself counts as present: its create fails with "already exists".
    EXPECT_FALSE(Ensure(Root("plain\\sub\\deeper\\")));
    ASSERT_EQ(m_log.Lines().size(), 1u);
    EXPECT_EQ(m_log.Lines()[0], "Error creating directory " + Root("plain\\sub") + ": " +
                                    FormatSystemError(ERROR_PATH_NOT_FOUND));
}

TEST_F(EnsureDirectoryTest, LevelsMadeBeforeAFailureStay) {
    EXPECT_FALSE(Ensure(Root("made\\bad?name\\never\\")));
    EXPECT_TRUE(IsDirectory(Root("made")));
    ASSERT_EQ(m_log.Lines().size(), 2u);
    EXPECT_EQ(m_log.Lines()[0], "Created: " + Root("made"));
    const std::string error = "Error creating directory " + Root("made\\bad?name") + ": ";
    EXPECT_EQ(m_log.Lines()[1].substr(0, error.size()), error);
    EXPECT_GT(m_log.Lines()[1].size(), error.size());
    // The level made is recorded all the same: the uninstaller removes it.
    ASSERT_EQ(m_record.effects.size(), 1u);
    EXPECT_EQ(m_record.effects[0].kind, EffectKind::kDirectory);
    EXPECT_EQ(m_record.effects[0].path, Root("made"));
}

TEST(FormatSystemError, GivesTheSystemTextUntrimmedOrNothing) {
    const std::string text = FormatSystemError(ERROR_FILE_NOT_FOUND);
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    EXPECT_EQ(FormatSystemError(0x2FFFFFFF), "");
    // A text with inserts is given as written, its inserts left in place.
    EXPECT_NE(FormatSystemError(ERROR_BAD_EXE_FORMAT).find("%1"), std::string::npos);
}

}  // namespace
