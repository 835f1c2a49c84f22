#include "engine/file_placement.h"

#include "formats/setup_sum.h"
#include "engine/expand_payload.h"
#include "engine/run_report.h"

#include "expand/lzhuf_encode.h"
#include "app/run_boxes.h"
#include "tests/app/log_recorder.h"
#include "tests/medium_bytes.h"
#include "tests/temp_dir.h"
#include "tests/win/message_box_recorder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

// The test DLLs built beside win_tests.exe, in bin\test_dlls.
std::string TestDll(const std::string& name) {
    char exe[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string dir(exe, length);
    return dir.substr(0, dir.rfind('\\')) + "\\test_dlls\\" + name + ".dll";
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class FilePlacementTest : public ::testing::Test {
protected:
    void SetUp() override {
        CreateDirectoryA(m_appDir.c_str(), nullptr);
        CreateDirectoryA(m_tempDir.c_str(), nullptr);
    }

    // Puts test DLL |name| at the destination.
    void PlaceExisting(const std::string& name) { ASSERT_TRUE(CopyFileA(TestDll(name).c_str(), m_dest.c_str(), FALSE)); }
    // Writes test DLL |name| as the compressed payload file m_source.
    void MakePayload(const std::string& name) {
        std::string dll = ReadFile(TestDll(name));
        ASSERT_FALSE(dll.empty()) << name;
        std::vector<uint8_t> payload;
        ASSERT_TRUE(EncodeLzhuf(reinterpret_cast<const uint8_t*>(dll.data()), dll.size(), payload));
        WriteFile(m_source, std::string(payload.begin(), payload.end()));
    }
    bool TempDirIsEmpty() const { return std::filesystem::is_empty(m_tempDir); }
    // The decision for m_dest and m_source, with what failed reported as the
    // run reports it (m_why: what failed).
    DllDecision Decide(const std::string& tempDir, const Medium& medium) {
        m_why = RunResult();
        const DllDecision decision = DecideDllReplacement(m_dest, m_source, tempDir, medium, m_installLog, m_why);
        ReportFailure(m_why, m_ui, m_installLog, m_list);
        return decision;
    }

    TempDir m_dir;
    std::string m_appDir = m_dir.Path("app");
    std::string m_tempDir = m_dir.Path("temp");
    std::string m_dest = m_appDir + "\\comp.dll";
    std::string m_source = m_dir.Path("comp.dl_");
    std::string m_tempCopy = m_tempDir + "\\comp.dll";
    InstallLog m_installLog;
    LogRecorder m_log{m_installLog};
    Medium m_medium;  // a folder medium without setup.sum
    FileList m_list;
    RunResult m_why;
    MessageBoxRecorder m_boxes;
    MessageBoxRunUi m_ui;  // the run's boxes as the progress dialog shows them
};

TEST_F(FilePlacementTest, VersionNumbersComeFromTheFixedRecordOnly) {
    WORD major = 0, minor = 0;
    ASSERT_TRUE(GetFileVersionNumbers(TestDll("ver_4_40000_0_0"), major, minor));
    EXPECT_EQ(major, 4);
    EXPECT_EQ(minor, 40000);
    for (const char* name : {"no_version", "bad_signature", "short_record", "missing"})
        EXPECT_FALSE(GetFileVersionNumbers(TestDll(name), major, minor)) << name;
}

TEST_F(FilePlacementTest, FileExistsFindsFilesDirectoriesAndPatterns) {
    PlaceExisting("ver_4_2_1_0");
    EXPECT_TRUE(FileExists(m_dest));
    EXPECT_TRUE(FileExists(m_appDir));
    EXPECT_TRUE(FileExists(m_appDir + "\\*.dll"));
    EXPECT_TRUE(FileExists(m_appDir + "\\c?mp.DLL"));
    EXPECT_FALSE(FileExists(m_appDir + "\\*.exe"));
    EXPECT_FALSE(FileExists(m_appDir + "\\other.dll"));
}

// Existing version, new version, decision: numbers are compared, major first,
// as unsigned 16-bit values; build and revision never count.
struct VersionCase {
    const char* existing;
    const char* incoming;
    DllDecision expected;
};

TEST_F(FilePlacementTest, TheDecisionComparesMajorThenMinorAsNumbers) {
    const VersionCase cases[] = {
        {"ver_4_2_1_0", "ver_4_2_7_3", DllDecision::Keep},       // equal 4.2, other build and revision
        {"ver_4_2_7_3", "ver_4_2_1_0", DllDecision::Keep},
        {"ver_4_2_1_0", "ver_4_10_0_0", DllDecision::Replace},   // 10 > 2 although "10" < "2" as text
        {"ver_4_10_0_0", "ver_4_2_1_0", DllDecision::Keep},
        {"ver_5_0_0_0", "ver_4_99_0_0", DllDecision::Keep},      // the major number decides
        {"ver_4_99_0_0", "ver_5_0_0_0", DllDecision::Replace},
        {"ver_4_2_1_0", "ver_4_40000_0_0", DllDecision::Replace},  // above 32767: unsigned
        {"ver_4_2_1_0", "no_version", DllDecision::Replace},     // a new file without version replaces
        {"ver_4_2_1_0", "bad_signature", DllDecision::Replace},
    };
    for (const VersionCase& c : cases) {
        SCOPED_TRACE(std::string(c.existing) + " <- " + c.incoming);
        m_log.Clear();
        PlaceExisting(c.existing);
        MakePayload(c.incoming);
        const std::string before = ReadFile(m_dest);

        EXPECT_EQ(Decide(m_tempDir, m_medium), c.expected);

        Lines expected{"Decompressed " + m_source + " to " + m_tempCopy};
        if (c.expected == DllDecision::Keep) expected.push_back("Will not expand to " + m_dest);
        EXPECT_EQ(m_log.Lines(), expected);
        EXPECT_EQ(ReadFile(m_dest), before);  // the decision never touches the destination
        EXPECT_TRUE(TempDirIsEmpty());        // the temporary copy is deleted
    }
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(FilePlacementTest, ADestinationWithoutUsableVersionIsReplacedWithoutATemporaryCopy) {
    // The payload does not even exist: it must not be expanded.
    for (const char* existing : {"no_version", "bad_signature", "short_record", ""}) {
        SCOPED_TRACE(existing);
        m_log.Clear();
        DeleteFileA(m_dest.c_str());
        if (*existing) PlaceExisting(existing);
        EXPECT_EQ(Decide(m_tempDir, m_medium), DllDecision::Replace);
        EXPECT_EQ(m_log.Lines(), (Lines{"Failed to get version info from " + m_dest + ", will replace anyway"}));
        EXPECT_TRUE(TempDirIsEmpty());
    }
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(FilePlacementTest, AFailedTemporaryExpansionAbortsWithItsBox) {
    PlaceExisting("ver_4_2_1_0");
    const std::string before = ReadFile(m_dest);
    // No payload file: the expander shows its own box, then the decision its.
    EXPECT_EQ(Decide(m_tempDir, m_medium), DllDecision::Abort);
    EXPECT_EQ(m_log.Lines(), (Lines{"Failed to decompress " + m_source + " to " + m_tempCopy + ", must abort"}));
    ASSERT_EQ(m_boxes.Boxes().size(), 2u);
    const RecordedBox& box = m_boxes.Boxes()[1];
    EXPECT_EQ(box.text, "Failed to decompress " + m_source + " to " + m_tempCopy + ", please check disk space");
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.style, UINT(MB_OK | MB_ICONERROR));
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(ReadFile(m_dest), before);

    // A temporary directory that is missing fails the same way.
    MakePayload("ver_4_10_0_0");
    m_log.Clear();
    EXPECT_EQ(Decide(m_dir.Path("no-temp"), m_medium), DllDecision::Abort);
    EXPECT_EQ(m_boxes.Boxes().size(), 4u);
    EXPECT_EQ(ReadFile(m_dest), before);
}

TEST_F(FilePlacementTest, APayloadNotAsTheSumSaysIsDamageWithOneBoxAndNoTemporaryCopy) {
    PlaceExisting("ver_4_2_1_0");
    const std::string before = ReadFile(m_dest);
    MakePayload("ver_4_10_0_0");
    DistributionSum sum;
    sum.present = true;
    ASSERT_TRUE(sum.sum.Add(SumEntry{m_source, 1, {}}));  // not what the payload holds
    Medium medium;
    ASSERT_TRUE(UseSum(medium, m_dir.Path(), sum.sum));
    const DllDecision decision = Decide(m_tempDir, medium);
    EXPECT_EQ(decision, DllDecision::Abort);
    EXPECT_EQ(m_why.what, RunOutcome::kDamaged);
    EXPECT_EQ(m_log.Lines(), (Lines{"Damaged distribution: " + m_source + " does not match setup.sum, must abort"}));
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].text, DamagedDistributionText(m_source));
    EXPECT_TRUE(TempDirIsEmpty());
    EXPECT_EQ(ReadFile(m_dest), before);
}

}  // namespace
