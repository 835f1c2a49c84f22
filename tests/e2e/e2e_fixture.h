// A distribution folder of one scenario with setup.exe copied in, and the
// driver that runs it. A failing scenario prints the driver's transcript.
// With SETUP_SCREENSHOTS=<folder> in the environment, the screen is saved
// there each time a window is expected: <scenario>-<n>-<what>.png.
#pragma once

#include "tests/e2e/ui_driver.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

class E2eTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    // Folder of the test executable, where the build put setup.exe.
    static std::string BinDir();
    // Copies setup.exe into |folder| (the medium folder by default); returns its path there.
    std::string InstallSetupExe(const TempDir* folder = nullptr);
    // Starts setup.exe from the medium folder with |arguments|.
    void StartSetup(const std::string& arguments = "");
    // Starts setup.exe copied into |exeFolder|, with the medium folder as the working directory.
    void StartSetupFrom(const TempDir& exeFolder, const std::string& arguments);
    // Writes "setup.drc" into the medium folder as the scrambled form of |plainList|.
    void WriteFileList(const std::string& plainList);
    // The next window, failing the test (with the transcript) when none comes.
    SeenWindow Expect(const char* what);
    // Asserts that no further window appears and the process ends.
    void ExpectEndWithoutWindow();
    // Asserts that, once |answered| has closed and the thread of |stays| has
    // handled that and waits for input again, no new window has appeared,
    // |stays| is still shown and the process still runs.
    void ExpectNoNewWindow(const SeenWindow& answered, const SeenWindow& stays);

    // The whole content of a file; empty when it cannot be read.
    static std::string ReadFile(const std::string& path);
    // The temporary directory, without a trailing backslash.
    static std::string TemporaryDirectory();
    // The names in a folder.
    static std::set<std::string> FolderEntries(const std::string& dir);
    // The name of a staged file (stg*.tmp) left in |folder|; empty when there is none.
    static std::string StagedFileIn(const std::string& folder);
    // The messages of a SETUP.LOG, each line checked for its timestamp and CR LF.
    static std::vector<std::string> LogMessages(const std::string& logPath);

    TempDir m_medium;
    SetupProcess m_setup;
    int m_nScreenshots = 0;
};
