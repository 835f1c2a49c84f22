// Placing files over existing ones: the DLL version decision and the backup
// of an older DLL into "Backup" below the application directory.
#pragma once

#include "base/install_log.h"
#include "formats/file_list.h"
#include "formats/medium.h"
#include "engine/install_record.h"
#include "engine/run_ui.h"

#include <windows.h>

#include <string>

// One find-first search of the file system, closed when it goes.
class FindFirst {
public:
    explicit FindFirst(const std::string& path) : m_handle(FindFirstFileA(path.c_str(), &m_data)) {}
    ~FindFirst() {
        if (Found()) FindClose(m_handle);
    }
    FindFirst(const FindFirst&) = delete;
    FindFirst& operator=(const FindFirst&) = delete;

    bool Found() const { return m_handle != INVALID_HANDLE_VALUE; }
    bool IsDirectory() const { return Found() && (m_data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY); }

private:
    WIN32_FIND_DATAA m_data = {};
    HANDLE m_handle;
};

// TRUE when a find-first search on |path| finds an entry (a file or a
// directory; wildcards match as patterns).
BOOL FileExists(const std::string& path);

// Reads the major and minor numbers (high and low word of dwFileVersionMS) of
// the file's version resource. FALSE when the file is missing, has no version
// resource, or its fixed record's signature is not 0xFEEF04BD.
BOOL GetFileVersionNumbers(const std::string& path, WORD& major, WORD& minor);

enum DllDecision { Replace, Keep, Abort, Damaged };

// Decides whether the new DLL |source| (of |medium|) may replace the existing
// |dest|, by expanding it into |tempDir| (the run's private folder; empty when there is
// none, which fails as an expansion does) and comparing major then minor version. On
// Abort the failure has been logged and shown through |ui| (RunBox::kError,
// after the expander's own box); on Damaged the payload is not what setup.sum
// says, which has been reported.
DllDecision DecideDllReplacement(const std::string& dest, const std::string& source, const std::string& tempDir,
                                 RunUi& ui, const Medium& medium, InstallLog& log);

// Where BackupOldDll puts the DLL |path|: |appDir|\Backup\ and its file name.
std::string BackupPathOf(const std::string& path, const std::string& appDir);

// Moves the DLL that BackupOldDll saved back to |path| (replacing what may
// stand there), for a replacement that could not be placed. Logs either
// outcome; TRUE when the old DLL is back.
BOOL RestoreOldDll(const std::string& path, const std::string& appDir, InstallLog& log);

// Moves the existing DLL |path| into |appDir|\Backup, sets |*pDllsUpgraded|
// when it did. TRUE when the old DLL is safely in the backup directory; each
// failure is logged and shown through |ui| (RunBox::kError). A backup
// directory it makes is recorded in |record|.
BOOL BackupOldDll(const std::string& path, const std::string& appDir, BOOL* pDllsUpgraded, RunUi& ui,
                  const FileList& list, InstallLog& log, InstallRecord& record);
