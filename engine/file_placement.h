// Placing files over existing ones: the DLL version decision and the backup
// of an older DLL into "Backup" below the application directory.
#pragma once

#include "base/file_system.h"
#include "base/install_log.h"
#include "formats/file_list.h"
#include "formats/medium.h"
#include "engine/install_record.h"
#include "engine/run_result.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// TRUE when a find-first search on |path| finds an entry (a file or a
// directory; wildcards match as patterns).
BOOL FileExists(const std::string& path);

// Reads the major and minor numbers (high and low word of dwFileVersionMS) of
// the file's version resource. FALSE when the file is missing, has no version
// resource, or its fixed record's signature is not 0xFEEF04BD.
BOOL GetFileVersionNumbers(const std::string& path, WORD& major, WORD& minor);

// What becomes of an existing DLL that the installation brings a new one of.
enum class DllDecision {
    Replace,  // the new one is newer, or a version is not known: it replaces the existing one
    Keep,     // the existing one is as new or newer: it stays and the entry is skipped
    Abort,    // the new one cannot be compared: the installation ends
};

// Decides whether the new DLL |source| (of |medium|) may replace the existing
// |dest|, by expanding it into |tempDir| (the run's private folder; empty when
// there is none, which fails as an expansion does) and comparing major then
// minor version. Writes the decision's own lines to |log| ("Failed to get
// version info from %s, will replace anyway", "Decompressed %s to %s", "Will
// not expand to %s"). On Abort, |why| says what failed: kDllAborted (the
// temporary copy could not be expanded; its cause the expander's failure) or
// kDamaged (the payload is not what setup.sum says); nothing of it is shown
// or logged.
DllDecision DecideDllReplacement(const std::string& dest, const std::string& source, const std::string& tempDir,
                                 const Medium& medium, InstallLog& log, RunResult& why);

// The 32 bytes of the SHA-256 of the file |path|, whose bytes are left in
// |*bytes| when given; empty when it cannot be read or is larger than any
// DLL (256 MB). The installation takes it of a DLL before the DLL goes into
// Backup, and the uninstaller puts back only those bytes: the application
// directory may be writable by users the uninstaller does not answer to.
std::string SavedDllDigest(const std::string& path, std::vector<uint8_t>* bytes = nullptr);

// Where BackupOldDll puts the DLL |path|: |appDir|\Backup\ and its file name.
std::string BackupPathOf(const std::string& path, const std::string& appDir);

// Moves the DLL that BackupOldDll saved back to |path| (replacing what may
// stand there), for a replacement that could not be placed, and logs it.
// kRestoreFailed (path, the backup, error) when it cannot.
RunResult RestoreOldDll(const std::string& path, const std::string& appDir, InstallLog& log);

// Moves the existing DLL |path| into |appDir|\Backup, sets |*pDllsUpgraded|
// when it did, and writes the lines of what it does to |log|. kGoingOn when
// the old DLL is safely in the backup directory. kBackupRefused, with
// nothing logged, for a path that is no DLL or a shared file of |list|;
// kBackupNotSaved for every other failure, caused by what failed
// (kBackupInTheWay, kBackupDirFailed, kBackupPathUnparsed,
// kBackupMoveFailed): nothing of it is shown or logged. A backup directory
// it makes is recorded in |record|.
RunResult BackupOldDll(const std::string& path, const std::string& appDir, BOOL* pDllsUpgraded, const FileList& list,
                       InstallLog& log, InstallRecord& record);
