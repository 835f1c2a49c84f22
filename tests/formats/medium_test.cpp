// The medium read once at start-up: setup.sum, setup.drc and the two texts,
// checked against the sum, from a folder or from stretches of one file.
#include "formats/medium.h"

#include "formats/setup_sum.h"
#include "base/staged_file.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <string>

namespace {

SumEntry EntryOf(const std::string& name, const std::string& content) {
    SumEntry entry{name, content.size(), {}};
    EXPECT_TRUE(HashBytes(content.data(), content.size(), entry.sha256));
    return entry;
}

class MediumTest : public ::testing::Test {
protected:
    // A folder with setup.drc and the texts, and a setup.sum listing |listed| of them.
    void WriteFolder(std::initializer_list<const char*> listed) {
        SetupSum sum;
        for (const char* name : listed) ASSERT_TRUE(sum.Add(EntryOf(name, m_files.at(name))));
        for (const auto& file : m_files) m_dir.Write(file.first, file.second);
        m_dir.Write("setup.sum", sum.Format());
    }
    std::string Load(const Sha256Digest* required = nullptr) {
        std::string damaged;
        const bool loaded = m_medium.Load(damaged, required);
        EXPECT_EQ(loaded, damaged.empty());
        return damaged;
    }
    static std::string Text(const MediumText& text) { return std::string(text.bytes.begin(), text.bytes.end()); }

    TempDir m_dir;
    ScopedWorkingDirectory m_cwd{m_dir.Path()};
    std::map<std::string, std::string> m_files = {
        {"setup.drc", "the scrambled list"}, {"Setup2.txt", "Welcome\r\n"}, {"terms.txt", "1. Terms\r\n"}};
    Medium m_medium;
};

TEST_F(MediumTest, AFolderMediumChecksTheListAndTheTextsItHolds) {
    m_medium.UseFolder(m_dir.Path("Setup2.txt"));
    WriteFolder({"setup.drc", "Setup2.txt", "terms.txt"});
    EXPECT_EQ(Load(), "");
    EXPECT_TRUE(m_medium.Sum().present);
    EXPECT_EQ(Text(m_medium.List()), "the scrambled list");
    EXPECT_EQ(Text(m_medium.Welcome()), "Welcome\r\n");
    EXPECT_EQ(Text(m_medium.Terms()), "1. Terms\r\n");

    // A text the sum does not list, or not as listed, is damage.
    WriteFolder({"setup.drc", "Setup2.txt"});
    EXPECT_EQ(Load(), "terms.txt");
    WriteFolder({"setup.drc", "Setup2.txt", "terms.txt"});
    m_dir.Write("Setup2.txt", "Welcome, changed\r\n");
    EXPECT_EQ(Load(), "Setup2.txt");

    // An absent text is allowed, and remembered as not there.
    std::filesystem::remove(m_dir.Path("Setup2.txt"));
    EXPECT_EQ(Load(), "");
    EXPECT_FALSE(m_medium.Welcome().present);
    EXPECT_EQ(m_medium.Welcome().openError, ENOENT);
    EXPECT_EQ(m_medium.Welcome().path, m_dir.Path("Setup2.txt"));

    // Without a sum nothing is checked.
    std::filesystem::remove(m_dir.Path("setup.sum"));
    m_dir.Write("terms.txt", "anything");
    EXPECT_EQ(Load(), "");
    EXPECT_FALSE(m_medium.Sum().present);
}

TEST_F(MediumTest, ADigestInTheProgramRequiresThatSetupSum) {
    m_medium.UseFolder("Setup2.txt");
    WriteFolder({"setup.drc", "Setup2.txt", "terms.txt"});
    const std::string sum = m_dir.Read("setup.sum");
    Sha256Digest digest;
    ASSERT_TRUE(HashBytes(sum.data(), sum.size(), digest));
    EXPECT_EQ(Load(&digest), "");

    m_dir.Write("setup.sum", sum + "\n");  // still a valid sum, but another one
    EXPECT_EQ(Load(&digest), "setup.sum");
    EXPECT_FALSE(m_medium.Sum().present);
    std::filesystem::remove(m_dir.Path("setup.sum"));
    EXPECT_EQ(Load(&digest), "setup.sum");
}

TEST_F(MediumTest, ASingleFileMediumReadsItsFilesFromTheirStretches) {
    // The files lie one after another behind 100 bytes of program.
    SetupSum sum;
    std::string whole(100, 'P');
    std::vector<StoredFile> stored;
    for (const auto& file : m_files) {
        const std::string name = file.first == "terms.txt" ? "TERMS.TXT" : file.first;
        stored.push_back(StoredFile{name, whole.size(), file.second.size()});
        whole += file.second;
        ASSERT_TRUE(sum.Add(EntryOf(file.first, file.second)));
    }
    const std::string sumText = sum.Format();
    stored.push_back(StoredFile{"setup.sum", whole.size(), sumText.size()});
    whole += sumText + "trailing bytes";
    stored.push_back(StoredFile{"payload.cmp", 3, 10});
    m_dir.Write("setup.exe", whole);
    m_dir.Write("payload.cmp", "a file of the folder, not of the medium");

    m_medium.UseStored(FilePtr(std::fopen(m_dir.Path("setup.exe").c_str(), "rb")), stored, "C:\\dl\\Setup2.txt");
    EXPECT_TRUE(m_medium.SingleFile());
    EXPECT_EQ(Load(), "");
    EXPECT_EQ(Text(m_medium.List()), "the scrambled list");
    EXPECT_EQ(Text(m_medium.Terms()), "1. Terms\r\n");  // names compare as setup.sum compares them

    FilePtr owned;
    FileRange range;
    ASSERT_TRUE(m_medium.Open("PAYLOAD.cmp", owned, range));
    EXPECT_FALSE(owned);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadRange(range, bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), whole.substr(3, 10));

    // A stretch that runs past the file's end cannot be read whole: no
    // copy of it is made.
    range.offset = whole.size() - 4;
    EXPECT_FALSE(ReadRange(range, bytes));
    EXPECT_FALSE(CopyRangeStaged(range, m_dir.Path("copy")));
    EXPECT_FALSE(m_dir.Exists("copy"));
    EXPECT_FALSE(m_medium.Open("missing.cmp", owned, range));

    // A welcome text the medium does not hold is missing where a folder's would be.
    stored.erase(stored.begin());  // Setup2.txt (the map's first name)
    m_medium.UseStored(FilePtr(std::fopen(m_dir.Path("setup.exe").c_str(), "rb")), stored, "C:\\dl\\Setup2.txt");
    EXPECT_EQ(Load(), "");
    EXPECT_FALSE(m_medium.Welcome().present);
    EXPECT_EQ(m_medium.Welcome().path, "C:\\dl\\Setup2.txt");
}

}  // namespace
