#include "engine/file_placement.h"

#include "app/run_boxes.h"
#include "engine/run_report.h"
#include "tests/app/log_recorder.h"
#include "tests/temp_dir.h"
#include "tests/win/message_box_recorder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

// An application folder with an old comp.dll in it.
class BackupOldDllTest : public ::testing::Test {
protected:
    void SetUp() override { m_dir.Write("app\\comp.dll", kOldDll); }

    std::string ClosingLine(bool saved) const {
        return "File " + m_dll + " was " + (saved ? "" : "NOT") + " successfully save to directory " + m_appDir;
    }
    void ExpectOneErrorBox(const std::string& text) const {
        ASSERT_EQ(m_boxes.Boxes().size(), 1u);
        EXPECT_EQ(m_boxes.Boxes()[0].text, text);
        EXPECT_EQ(m_boxes.Boxes()[0].caption, "Error");
        EXPECT_EQ(m_boxes.Boxes()[0].style, UINT(MB_OK | MB_ICONERROR));
        EXPECT_EQ(m_boxes.Boxes()[0].owner, nullptr);
    }
    // BackupOldDll, with its failure reported as the run reports it; true
    // when the DLL is saved.
    bool Backup(const std::string& path, const std::string& appDir) {
        const RunResult saved = BackupOldDll(path, appDir, &m_upgraded, m_list, m_installLog, m_record);
        ReportFailure(saved, m_ui, m_installLog, m_list);
        return !saved.Failed();
    }
    bool IsDirectory(const std::string& path) const {
        DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    static constexpr const char* kOldDll = "old dll bytes";
    TempDir m_dir;
    std::string m_appDir = m_dir.Path("app");
    std::string m_backupDir = m_appDir + "\\Backup";
    std::string m_dll = m_appDir + "\\comp.dll";
    std::string m_target = m_backupDir + "\\comp.dll";
    BOOL m_upgraded = FALSE;
    FileList m_list;
    InstallLog m_installLog;
    LogRecorder m_log{m_installLog};
    MessageBoxRecorder m_boxes;
    MessageBoxRunUi m_ui;  // the run's boxes as the progress dialog shows them
    InstallRecord m_record;  // what the backups make (engine/effect_kinds_test checks it)
};

TEST_F(BackupOldDllTest, AMissingBackupDirectoryIsMadeAndTheDllMovedIntoIt) {
    SetFileAttributesA(m_dll.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(Backup(m_dll, m_appDir));
    EXPECT_TRUE(m_upgraded);
    EXPECT_FALSE(m_dir.Exists("app\\comp.dll"));
    EXPECT_EQ(m_dir.Read("app\\Backup\\comp.dll"), kOldDll);
    EXPECT_EQ(GetFileAttributesA(m_target.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(m_log.Lines(), (Lines{m_backupDir + " not found, will have to create it", "Created: " + m_backupDir,
                                    "Directory " + m_backupDir + "\\ certified to be ok",
                                    "Directory successfully created",
                                    "Moved successfully: " + m_dll + " to " + m_target, ClosingLine(true)}));
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(BackupOldDllTest, AnExistingBackupDirectoryIsUsedAsItIs) {
    m_dir.Write("app\\Backup\\earlier.dll", "earlier");
    EXPECT_TRUE(Backup(m_dll, m_appDir));
    EXPECT_EQ(m_dir.Read("app\\Backup\\earlier.dll"), "earlier");
    EXPECT_EQ(m_dir.Read("app\\Backup\\comp.dll"), kOldDll);
    EXPECT_EQ(m_log.Lines(), (Lines{"Subdirectory already exists", "Moved successfully: " + m_dll + " to " + m_target,
                                    ClosingLine(true)}));
}

TEST_F(BackupOldDllTest, APlainFileNamedBackupIsDeletedAndTheDirectoryMade) {
    m_dir.Write("app\\Backup", "a plain file");
    EXPECT_TRUE(Backup(m_dll, m_appDir));
    EXPECT_TRUE(IsDirectory(m_backupDir));
    EXPECT_EQ(m_dir.Read("app\\Backup\\comp.dll"), kOldDll);
    EXPECT_EQ(m_log.Lines(),
              (Lines{"There is a FILE named " + m_backupDir + "!!!!", "File " + m_backupDir + " successfully deleted",
                     "Created: " + m_backupDir, "Directory " + m_backupDir + "\\ certified to be ok",
                     "Directory successfully created", "Moved successfully: " + m_dll + " to " + m_target,
                     ClosingLine(true)}));
}

TEST_F(BackupOldDllTest, APlainFileThatCannotBeDeletedStopsTheBackup) {
    m_dir.Write("app\\Backup", "a plain file");
    // Held open without sharing, it cannot be deleted.
    HANDLE held = CreateFileA(m_backupDir.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    bool result = Backup(m_dll, m_appDir);
    CloseHandle(held);

    EXPECT_FALSE(result);
    EXPECT_FALSE(m_upgraded);
    EXPECT_EQ(m_dir.Read("app\\comp.dll"), kOldDll);
    EXPECT_EQ(m_dir.Read("app\\Backup"), "a plain file");
    EXPECT_EQ(m_log.Lines(),
              (Lines{"There is a FILE named " + m_backupDir + "!!!!",
                     "The file named " + m_backupDir + " cannot be deleted, installation should be aborted",
                     ClosingLine(false)}));
    ExpectOneErrorBox("It seems a file named " + m_backupDir +
                      " exists and cannot be deleted.\nPlease delete that file manually and return to the "
                      "installation");
}

TEST_F(BackupOldDllTest, AnEarlierBackupOfTheSameNameIsNeverReplaced) {
    m_dir.Write("app\\Backup\\comp.dll", "earlier backup");
    EXPECT_FALSE(Backup(m_dll, m_appDir));
    EXPECT_FALSE(m_upgraded);
    // Nothing lost: both copies are where they were.
    EXPECT_EQ(m_dir.Read("app\\comp.dll"), kOldDll);
    EXPECT_EQ(m_dir.Read("app\\Backup\\comp.dll"), "earlier backup");
    EXPECT_EQ(m_log.Lines(),
              (Lines{"Subdirectory already exists",
                     "Could not move " + m_dll + " to " + m_target + ", installation should be aborted.",
                     ClosingLine(false)}));
    ExpectOneErrorBox("Cannot make backup of " + m_dll + "\ninto " + m_target +
                      ".\nPlease check file attributes and\ndisk space and return to the installation");
}

TEST_F(BackupOldDllTest, ABackupDirectoryThatCannotBeMadeStopsTheBackup) {
    // The application folder lies below a plain file, so no level can be made.
    m_dir.Write("plain", "x");
    const std::string appDir = m_dir.Path("plain\\app");
    const std::string backupDir = appDir + "\\Backup";
    const std::string dll = appDir + "\\comp.dll";
    EXPECT_FALSE(Backup(dll, appDir));
    ASSERT_EQ(m_log.Lines().size(), 4u);
    EXPECT_EQ(m_log.Lines()[0], backupDir + " not found, will have to create it");
    EXPECT_EQ(m_log.Lines()[1].rfind("Error creating directory " + appDir + ": ", 0), 0u);
    EXPECT_EQ(m_log.Lines()[2], "Cannot create directory " + backupDir + ", installation aborted");
    EXPECT_EQ(m_log.Lines()[3], "File " + dll + " was NOT successfully save to directory " + appDir);
    ExpectOneErrorBox("Cannot create directory " + backupDir +
                      " (disk full?)\nPlease correct the problem manually and return to the installation");
}

TEST_F(BackupOldDllTest, APathWithoutADirectoryPartIsAParsingError) {
    for (const std::string path : {"comp.dll", "\\comp.dll"}) {
        SCOPED_TRACE(path);
        m_log.Clear();
        MessageBoxRecorder boxes;
        EXPECT_FALSE(Backup(path, m_appDir));
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text, "Could not copy file " + path +
                                             " due to a parsing error.\nPlease contact the developer and report "
                                             "the problem");
        ASSERT_GE(m_log.Lines().size(), 2u);
        EXPECT_EQ(m_log.Lines()[m_log.Lines().size() - 2],
                  "Could not copy file " + path + " due to a parsing error, installation should be aborted.");
        EXPECT_EQ(m_log.Lines().back(), "File " + path + " was NOT successfully save to directory " + m_appDir);
    }
    EXPECT_FALSE(m_upgraded);
    EXPECT_EQ(m_dir.Read("app\\comp.dll"), kOldDll);
}

TEST_F(BackupOldDllTest, SharedDllsAndOtherFilesAreRefusedSilently) {
    m_dir.Write("app\\Backup\\keep.txt", "");
    m_dir.Write("app\\readme.txt", "text");
    {
        ScopedSharedFragments shared{m_list, {"APP\\COMP"}};
        EXPECT_FALSE(Backup(m_dll, m_appDir));
    }
    EXPECT_FALSE(Backup(m_appDir + "\\readme.txt", m_appDir));
    EXPECT_FALSE(m_upgraded);
    EXPECT_TRUE(m_log.Lines().empty());
    EXPECT_TRUE(m_boxes.Boxes().empty());
    EXPECT_EQ(m_dir.Read("app\\comp.dll"), kOldDll);
    EXPECT_EQ(m_dir.Read("app\\readme.txt"), "text");
    EXPECT_FALSE(m_dir.Exists("app\\Backup\\comp.dll"));
}

}  // namespace
