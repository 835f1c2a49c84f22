// The installation run without windows, in-process: each call returns what
// happened and writes its log lines, and every box goes to the RunUi; no
// message box and no window appears.
#include "engine/install_run.h"

#include "engine/install_record.h"
#include "fw/message_box.h"
#include "tests/app/log_recorder.h"
#include "tests/medium_bytes.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

class RecordingUi : public RunUi {
public:
    bool ShowBox(RunBox kind, const std::string& text) override {
        boxes.emplace_back(kind, text);
        return false;
    }
    void ShowStatus(const std::string& text, int position) override {
        statuses.push_back(text + " @" + std::to_string(position));
    }
    std::vector<std::pair<RunBox, std::string>> boxes;
    std::vector<std::string> statuses;
};

BOOL CALLBACK CountVisible(HWND hWnd, LPARAM counter) {
    DWORD process = 0;
    GetWindowThreadProcessId(hWnd, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(hWnd)) ++*reinterpret_cast<int*>(counter);
    return TRUE;
}

// The visible top-level windows of this process.
int VisibleWindows() {
    int count = 0;
    EnumWindows(CountVisible, reinterpret_cast<LPARAM>(&count));
    return count;
}

class InstallRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageBoxHook([](HWND, const char* text, const char*, UINT) {
            ADD_FAILURE() << "a message box: " << text;
            return IDOK;
        });
        m_windowsBefore = VisibleWindows();
    }
    void TearDown() override {
        EXPECT_EQ(VisibleWindows(), m_windowsBefore);
        SetMessageBoxHook(nullptr);
    }

    TempDir m_dir;
    std::string m_app = m_dir.Path("App");
    ScopedWorkingDirectory m_cwd{m_dir.Path()};
    int m_windowsBefore = 0;
    SetupObjects m_setup;
    LogRecorder m_log{m_setup.log};
    RecordingUi m_ui;
};

TEST_F(InstallRunTest, AFailingStepReturnsItsResultAndLogLine) {
    m_dir.Write("a.cmp", PackedPayload("first"));
    UseList(m_setup.medium, "F;a.cmp;?APPDIR?\\a.txt\r\nF;b.cmp;?APPDIR?\\b.txt\r\nF;a.cmp;?APPDIR?\\c.txt\r\n");
    InstallRun run(m_ui, m_setup, m_app);
    run.Open();
    ASSERT_EQ(run.Prepare(nullptr).what, RunOutcome::kGoingOn);
    EXPECT_EQ(run.FileCount(), 3);

    std::vector<RunResult> results;
    while (!run.Over()) results.push_back(run.Step());
    // a: check, expand; b: check, then its expansion fails.
    ASSERT_EQ(results.size(), 4u);
    EXPECT_FALSE(results[2].Failed());
    EXPECT_EQ(results[3].what, RunOutcome::kExpandFailed);
    EXPECT_EQ(results[3].path, m_app + "\\b.txt");
    EXPECT_EQ(m_log.Lines().back(), "Failed to decompress to " + m_app + "\\b.txt, must abort");
    EXPECT_EQ(m_ui.boxes, (std::vector<std::pair<RunBox, std::string>>{
                              {RunBox::kExpander, "Erro de abertura no arquivo b.cmp"},
                              {RunBox::kError, "Failed to decompress file\n" + m_app + "\\b.txt\nIs file in use?"}}));
    EXPECT_EQ(m_ui.statuses, (std::vector<std::string>{"Checking a.txt @0", "Expanding a.txt @0",
                                                        "Checking b.txt @1", "Expanding b.txt @1"}));
    EXPECT_EQ(m_dir.Read("App\\a.txt"), "first");
    EXPECT_FALSE(m_dir.Exists("App\\c.txt"));

    // Over is over: nothing more happens.
    EXPECT_EQ(run.Step().what, RunOutcome::kGoingOn);
    EXPECT_EQ(m_ui.boxes.size(), 2u);
}

TEST_F(InstallRunTest, AFailedDllReplacementPutsTheOldDllBack) {
    m_dir.Write("bad.cmp", std::string("\x05\0", 2));  // its header is cut short
    m_dir.Write("App\\old.dll", "old dll bytes");
    UseList(m_setup.medium, "F;bad.cmp;?APPDIR?\\old.dll\r\n");
    InstallRun run(m_ui, m_setup, m_app);
    run.Open();
    ASSERT_EQ(run.Prepare(nullptr).what, RunOutcome::kGoingOn);
    RunResult last;
    while (!run.Over()) last = run.Step();

    EXPECT_EQ(last.what, RunOutcome::kExpandFailed);
    EXPECT_EQ(m_dir.Read("App\\old.dll"), "old dll bytes");
    EXPECT_FALSE(m_dir.Exists("App\\Backup\\old.dll"));
    EXPECT_EQ(m_log.Lines().back(),
              "Old DLL " + m_app + "\\old.dll moved back from " + m_app + "\\Backup\\old.dll");
    // The uninstaller must not take the old DLL for the new one.
    for (const Effect& effect : run.Record().effects) EXPECT_NE(effect.kind, EffectKind::kFileBackup);
}

// A failed run records what it did all the same, without lines of its own;
// what it cannot record, or drops, is logged after the failure.
TEST_F(InstallRunTest, WhatAFailedRunCannotRecordIsLoggedAfterTheFailure) {
    m_dir.Write("a.cmp", PackedPayload("first"));
    m_dir.Write("App\\uninstall.dat", "not a record that any Uninstall key vouches for\n");
    UseList(m_setup.medium, "F;a.cmp;?APPDIR?\\a.txt\r\nF;b.cmp;?APPDIR?\\b.txt\r\n");
    InstallRun run(m_ui, m_setup, m_app);
    UninstallerSource source;
    source.productName = "Example";
    source.programPath = m_dir.Path("no-such-setup.exe");
    run.SetUninstaller(source);
    run.Open();
    ASSERT_EQ(run.Prepare(nullptr).what, RunOutcome::kGoingOn);
    RunResult last;
    while (!run.Over()) last = run.Step();

    EXPECT_EQ(last.what, RunOutcome::kExpandFailed);
    const std::vector<std::string> lines = m_log.Lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3], "Failed to decompress to " + m_app + "\\b.txt, must abort");
    const std::string replaced = "Uninstall record " + m_app + "\\uninstall.dat not merged (";
    EXPECT_EQ(lines[lines.size() - 2].rfind(replaced, 0), 0u) << lines[lines.size() - 2];
    const std::string notCopied = "The uninstaller could not be copied to " + m_app + "\\uninstall.exe (error ";
    EXPECT_EQ(lines.back().rfind(notCopied, 0), 0u) << lines.back();
    EXPECT_NE(lines.back(), notCopied + "0)");
    // The record of what the run did is there all the same.
    EXPECT_NE(m_dir.Read("App\\uninstall.dat").find("new\t" + m_app + "\\a.txt\n"), std::string::npos);
    EXPECT_FALSE(m_dir.Exists("App\\uninstall.exe"));
}

// In a directory the run has made, a name is not asked about the first time;
// the same file again, in other capitals or another spelling, is placed over
// the first and recorded so.
TEST_F(InstallRunTest, AFileAgainInADirectoryTheRunMadeIsPlacedOverTheFirst) {
    m_dir.Write("a.cmp", PackedPayload("first"));
    m_dir.Write("b.cmp", PackedPayload("second"));
    UseList(m_setup.medium, "F;a.cmp;?APPDIR?\\new\\a.txt\r\nF;b.cmp;?APPDIR?\\new\\A.TXT\r\n"
            "F;a.cmp;?APPDIR?\\new\\b.txt.\r\nF;b.cmp;?APPDIR?\\new\\b.txt\r\nF;a.cmp;?APPDIR?\\new\\c.txt\r\n");
    InstallRun run(m_ui, m_setup, m_app);
    run.Open();
    ASSERT_EQ(run.Prepare(nullptr).what, RunOutcome::kGoingOn);
    while (!run.Over()) EXPECT_FALSE(run.Step().Failed());

    std::vector<std::pair<EffectKind, std::string>> placed;
    for (const Effect& effect : run.Record().effects)
        if (effect.kind != EffectKind::kDirectory) placed.emplace_back(effect.kind, effect.path);
    const std::string dir = m_app + "\\new\\";
    EXPECT_EQ(placed, (std::vector<std::pair<EffectKind, std::string>>{{EffectKind::kFileNew, dir + "a.txt"},
                                                                      {EffectKind::kFileOver, dir + "A.TXT"},
                                                                      {EffectKind::kFileNew, dir + "b.txt."},
                                                                      {EffectKind::kFileOver, dir + "b.txt"},
                                                                      {EffectKind::kFileNew, dir + "c.txt"}}));
    EXPECT_EQ(m_dir.Read("App\\new\\a.txt"), "second");
    EXPECT_EQ(m_dir.Read("App\\new\\b.txt"), "second");
}

TEST_F(InstallRunTest, ADestinationThatCannotBeMadeGivesItsWindowsErrorCode) {
    UseList(m_setup.medium, "F;a.cmp;?APPDIR?\\a.txt\r\n");
    m_dir.Write("blocker", "a plain file");
    const std::string app = m_dir.Path("blocker") + "\\App";
    InstallRun run(m_ui, m_setup, app);
    RunResult result = run.Prepare(nullptr);
    EXPECT_EQ(result.what, RunOutcome::kDestDirFailed);
    EXPECT_EQ(result.path, app);
    EXPECT_NE(result.error, 0u);
    EXPECT_TRUE(run.Over());
    ASSERT_EQ(m_ui.boxes.size(), 1u);
    EXPECT_EQ(m_ui.boxes[0].first, RunBox::kNotice);
}

}  // namespace
