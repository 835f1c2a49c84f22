// A distribution folder of one scenario with setup.exe copied in, and the
// driver that runs it. A failing scenario prints the driver's transcript.
#pragma once

#include "tests/e2e/ui_driver.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <string>

class E2eTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Folder of the test executable, where the build put setup.exe.
    static std::string BinDir();
    // Copies setup.exe into the medium folder; returns its path there.
    std::string InstallSetupExe();
    // Starts setup.exe from the medium folder with |arguments|.
    void StartSetup(const std::string& arguments = "");
    // The next window, failing the test (with the transcript) when none comes.
    SeenWindow Expect(const char* what);
    // Asserts that no further window appears and the process ends.
    void ExpectEndWithoutWindow();

    TempDir m_medium;
    SetupProcess m_setup;
};
