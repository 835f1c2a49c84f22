// The installation without windows in-process: questions answered Yes and
// logged, boxes written as log lines.
#include "app/unattended.h"

#include "fw/message_box.h"
#include "tests/app/log_recorder.h"
#include "tests/medium_bytes.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

TEST(UnattendedUiTest, TheLogQuestionIsAnsweredYesAndBoxesBecomeLogLines) {
    TempDir dir;
    ScopedWorkingDirectory cwd(dir.Path());
    SetupObjects setup;
    int shown = 0;
    SetMessageBoxHook([&shown](HWND, const char*, const char*, UINT) { return ++shown, IDOK; });
    LogRecorder log(setup.log);

    // SETUP.LOG cannot be created (a folder stands there), and the list
    // names a payload that is missing.
    UseList(setup.medium, "F;missing.cmp;?APPDIR?\\a.txt\r\n");
    const std::string app = dir.Path("App");
    CreateDirectoryA(app.c_str(), nullptr);
    CreateDirectoryA((app + "\\SETUP.LOG").c_str(), nullptr);

    UnattendedUi ui(setup, app);
    EXPECT_FALSE(ui.RunInstallation(app));
    EXPECT_EQ(ui.m_lastRun.what, RunOutcome::kExpandFailed);
    EXPECT_EQ(shown, 0);
    const std::vector<std::string>& lines = log.Lines();
    for (const std::string& expected :
         {std::string("Question: Failed to create setup log file, do you wish try to continue? Answered Yes, the "
                      "default button (unattended)"),
          std::string("Erro de abertura no arquivo missing.cmp"),
          "Failed to decompress file " + app + "\\a.txt Is file in use?"})
        EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end()) << expected;
    EXPECT_EQ(lines.back(), "Destroying decompression box");

    SetMessageBoxHook(nullptr);
}
