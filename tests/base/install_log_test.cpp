#include "base/install_log.h"

#include "tests/app/log_recorder.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <string>

namespace {

// A log on a clock the test sets, with local time pinned to UTC so the
// expected stamps hold on every machine.
class InstallLogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
#ifdef _WIN32
        _putenv("TZ=UTC0");
        _tzset();
#else
        setenv("TZ", "UTC0", 1);
        tzset();
#endif
    }

    InstallLog::Clock Clock() {
        return [this] { return m_now; };
    }

    std::time_t m_now = 1612173600;  // 01 Feb 2021 10:00:00 UTC
    TempDir m_dir;
};

TEST_F(InstallLogTest, PendingLinesOpenTheFileInOrderEachWithItsOwnTime) {
    {
        InstallLog log(Clock(), [](const char*) { return false; });
        WriteLog(log, "first %d", 1);
        WriteLog(log, "first again");  // the same second
        m_now += 7;
        WriteLog(log, "second %s", "line");
        m_now = 1640995199;  // 31 Dec 2021 23:59:59
        ASSERT_TRUE(log.OpenLogFile(m_dir.Path("SETUP.LOG")));
        EXPECT_EQ(log.Pending(), "");
        m_now = 1641092645;  // 02 Jan 2022 03:04:05
        WriteLog(log, "after opening");
        m_now = 1612173600;  // a clock set back
        WriteLog(log, "back again");
    }  // closed here: only then are the buffered lines certain to be on disk
    EXPECT_EQ(m_dir.Read("SETUP.LOG"),
              "01 Feb 2021 10:00:00 first 1\r\n"
              "01 Feb 2021 10:00:00 first again\r\n"
              "01 Feb 2021 10:00:07 second line\r\n"
              "02 Jan 2022 03:04:05 after opening\r\n"
              "01 Feb 2021 10:00:00 back again\r\n");
}

TEST_F(InstallLogTest, AnOldLogIsReplacedNotAppendedTo) {
    m_dir.Write("SETUP.LOG", std::string(4000, 'o') + "\r\n");
    {
        InstallLog log(Clock(), [](const char*) { return false; });
        ASSERT_TRUE(log.OpenLogFile(m_dir.Path("SETUP.LOG")));
        WriteLog(log, "new");
    }
    EXPECT_EQ(m_dir.Read("SETUP.LOG"), "01 Feb 2021 10:00:00 new\r\n");
}

TEST_F(InstallLogTest, SharedFileLinesAreDroppedInAnyCaseTheirNeighboursStay) {
    FileList list;
    ScopedSharedFragments shared{list, {"\\Windows\\System\\", "feb 2021 10:00:0"}};
    // The filter setup.exe hands its log: the file list's shared fragments.
    InstallLog log(Clock(), [&list](const char* line) { return IsSharedFile(list, line); });
    m_now = 1641092645;
    WriteLog(log, "before");
    WriteLog(log, "Destination pathname: %s", "C:\\WINDOWS\\system\\msvcrt.dll");
    WriteLog(log, "Destination pathname: %s", "C:\\Windows\\System32\\other.dll");
    // The stamp is part of the tested line: a fragment may match across it.
    m_now = 1612173603;
    WriteLog(log, "stamped in a shared minute");
    m_now = 1641092645;
    WriteLog(log, "after");
    EXPECT_EQ(log.Pending(),
              "02 Jan 2022 03:04:05 before\r\n"
              "02 Jan 2022 03:04:05 Destination pathname: C:\\Windows\\System32\\other.dll\r\n"
              "02 Jan 2022 03:04:05 after\r\n");
}

TEST_F(InstallLogTest, TheObserverSeesKeptLinesWithoutLineEnd) {
    FileList list;
    ScopedSharedFragments shared{list, {"secret"}};
    InstallLog log(Clock(), [&list](const char* line) { return IsSharedFile(list, line); });
    LogRecorder recorder(log);
    WriteLog(log, "kept %d", 7);
    WriteLog(log, "a SECRET line");
    ASSERT_EQ(recorder.Lines().size(), 1u);
    EXPECT_EQ(recorder.Lines()[0], "kept 7");
}

TEST_F(InstallLogTest, AnEmptyMessageIsTheStampAndLineEnd) {
    InstallLog log(Clock(), [](const char*) { return false; });
    WriteLog(log, "%s", "");
    EXPECT_EQ(log.Pending(), "01 Feb 2021 10:00:00 \r\n");
    EXPECT_EQ(log.Pending().size(), 21u + 2u);
}

TEST_F(InstallLogTest, NothingReachesTheDiskUntilAnOpenSucceeds) {
    {
        InstallLog log(Clock(), [](const char*) { return false; });
        WriteLog(log, "gathered");
        // A folder that does not exist: the open fails, gathering goes on.
        EXPECT_FALSE(log.OpenLogFile(m_dir.Path("missing/SETUP.LOG")));
        WriteLog(log, "still gathered");
        EXPECT_EQ(log.Pending(), "01 Feb 2021 10:00:00 gathered\r\n01 Feb 2021 10:00:00 still gathered\r\n");
    }
    EXPECT_TRUE(std::filesystem::is_empty(m_dir.Path()));
}

TEST_F(InstallLogTest, ASecondOpenFailsAndTheFirstFileStaysInUse) {
    {
        InstallLog log(Clock(), [](const char*) { return false; });
        WriteLog(log, "one");
        ASSERT_TRUE(log.OpenLogFile(m_dir.Path("first.log")));
        EXPECT_FALSE(log.OpenLogFile(m_dir.Path("second.log")));
        EXPECT_FALSE(log.OpenLogFile(m_dir.Path("first.log")));
        // A file opened by the caller is refused the same way, and closed.
        std::FILE* third = std::fopen(m_dir.Path("third.log").c_str(), "wb");
        ASSERT_NE(third, nullptr);
        EXPECT_FALSE(log.UseLogFile(third));
        EXPECT_TRUE(std::filesystem::remove(m_dir.Path("third.log")));
        WriteLog(log, "two");
    }
    EXPECT_FALSE(m_dir.Exists("second.log"));
    EXPECT_EQ(m_dir.Read("first.log"), "01 Feb 2021 10:00:00 one\r\n01 Feb 2021 10:00:00 two\r\n");
}

TEST_F(InstallLogTest, AnOverlongLineIsCutToTheBuffer) {
    InstallLog log(Clock(), [](const char*) { return false; });
    std::string path = "C:\\" + std::string(2000, 'd') + "\\x.dll";
    WriteLog(log, "Moved successfully: %s to %s", path.c_str(), path.c_str());
    WriteLog(log, "next");
    // 512 bytes hold the stamp, 490 characters of the message and the zero.
    std::string expected = "01 Feb 2021 10:00:00 " + ("Moved successfully: " + path).substr(0, 490) + "\r\n" +
                           "01 Feb 2021 10:00:00 next\r\n";
    EXPECT_EQ(log.Pending(), expected);
}

TEST_F(InstallLogTest, ATimeTheRuntimeCannotConvertLeavesTheStampOut) {
    // Which times the runtime refuses depends on it (the width of time_t,
    // negative times): take the first that it does refuse.
    bool found = false;
    for (std::time_t t : {std::numeric_limits<std::time_t>::max(), std::time_t(-1),
                          std::numeric_limits<std::time_t>::min()}) {
        if (!std::localtime(&t)) {
            m_now = t;
            found = true;
            break;
        }
    }
    if (!found) GTEST_SKIP() << "this runtime converts every time";
    InstallLog log(Clock(), [](const char*) { return false; });
    WriteLog(log, "message");
    EXPECT_EQ(log.Pending(), "message\r\n");
}

}  // namespace
