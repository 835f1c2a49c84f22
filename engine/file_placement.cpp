#include "engine/file_placement.h"

#include "base/path_parts.h"
#include "engine/directory.h"
#include "engine/expand_payload.h"
#include "engine/format_text.h"
#include "engine/path_names.h"
#include "engine/system_library.h"

#include <memory>
#include <new>

namespace {

// The new version is newer when its major number is greater, or the majors
// are equal and its minor number is greater. Equal versions are not newer.
bool IsNewer(WORD newMajor, WORD newMinor, WORD oldMajor, WORD oldMinor) {
    return newMajor > oldMajor || (newMajor == oldMajor && newMinor > oldMinor);
}

// The version functions, from the system's version.dll (never imported
// statically: see system_library.h), loaded on first use and kept until the
// program ends.
struct VersionFunctions {
    SystemLibrary library{"version.dll"};
    decltype(&GetFileVersionInfoSizeA) infoSize =
        library.Function<decltype(&GetFileVersionInfoSizeA)>("GetFileVersionInfoSizeA");
    decltype(&GetFileVersionInfoA) info = library.Function<decltype(&GetFileVersionInfoA)>("GetFileVersionInfoA");
    decltype(&VerQueryValueA) query = library.Function<decltype(&VerQueryValueA)>("VerQueryValueA");
};

const VersionFunctions& Version() {
    static const VersionFunctions functions;
    return functions;
}

}  // namespace

BOOL FileExists(const std::string& path) { return FindFirst(path).Found() ? TRUE : FALSE; }

BOOL GetFileVersionNumbers(const std::string& path, WORD& major, WORD& minor) {
    if (!FindFirst(path).Found()) return FALSE;
    const VersionFunctions& version = Version();
    if (!version.infoSize || !version.info || !version.query) return FALSE;

    DWORD handle = 0;
    const DWORD size = version.infoSize(path.c_str(), &handle);
    if (size == 0) return FALSE;
    std::unique_ptr<BYTE[]> info(new (std::nothrow) BYTE[size]);
    if (!info || !version.info(path.c_str(), 0, size, info.get())) return FALSE;

    void* value = nullptr;
    UINT length = 0;
    if (!version.query(info.get(), "\\", &value, &length) || !value || length == 0) return FALSE;
    // A record shorter than VS_FIXEDFILEINFO would be read past its end.
    if (length < sizeof(VS_FIXEDFILEINFO)) return FALSE;

    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    if (fixed->dwSignature != VS_FFI_SIGNATURE) return FALSE;
    major = HIWORD(fixed->dwFileVersionMS);
    minor = LOWORD(fixed->dwFileVersionMS);
    return TRUE;
}

DllDecision DecideDllReplacement(const std::string& dest, const std::string& source, const std::string& tempDir,
                                 RunUi& ui, const Medium& medium, InstallLog& log) {
    WORD oldMajor = 0, oldMinor = 0;
    if (!GetFileVersionNumbers(dest, oldMajor, oldMinor)) {
        WriteLog(log, "Failed to get version info from %s, will replace anyway", dest.c_str());
        return Replace;
    }

    // The new DLL is expanded once here to read its version, and again later
    // into its destination.
    const std::string tempCopy = tempDir + "\\" + GetPathFileName(dest);
    // Without the run's temporary folder there is nowhere to expand it safely.
    const RunResult expanded = tempDir.empty() ? RunResult(RunOutcome::kExpandFailed, tempDir)
                                               : ExpandPayload(source.c_str(), tempCopy.c_str(), ui, medium, log);
    if (expanded.what == RunOutcome::kDamaged) return Damaged;
    if (expanded.Failed()) {
        WriteLog(log, "Failed to decompress %s to %s, must abort", source.c_str(), tempCopy.c_str());
        ui.ShowBox(RunBox::kError, FormatText("Failed to decompress %s to %s, please check disk space", source.c_str(),
                             tempCopy.c_str()));
        return Abort;
    }
    WriteLog(log, "Decompressed %s to %s", source.c_str(), tempCopy.c_str());

    WORD newMajor = 0, newMinor = 0;
    const bool keep = GetFileVersionNumbers(tempCopy, newMajor, newMinor) &&
                      !IsNewer(newMajor, newMinor, oldMajor, oldMinor);
    DeleteFileA(tempCopy.c_str());

    if (!keep) return Replace;
    WriteLog(log, "Will not expand to %s", dest.c_str());
    return Keep;
}

namespace {

// Makes sure |backupDir| is a directory, removing a plain file in its place.
BOOL PrepareBackupDirectory(const std::string& backupDir, RunUi& ui, InstallLog& log, InstallRecord& record) {
    bool found, isDirectory;
    {
        FindFirst search(backupDir);
        found = search.Found();
        isDirectory = search.IsDirectory();
    }
    if (isDirectory) {
        WriteLog(log, "Subdirectory already exists");
        return TRUE;
    }
    if (!found) {
        WriteLog(log, "%s not found, will have to create it", backupDir.c_str());
    } else {
        WriteLog(log, "There is a FILE named %s!!!!", backupDir.c_str());
        if (!DeleteFileA(backupDir.c_str())) {
            WriteLog(log, "The file named %s cannot be deleted, installation should be aborted", backupDir.c_str());
            ui.ShowBox(RunBox::kError, FormatText("It seems a file named %s exists and cannot be deleted.\n"
                                 "Please delete that file manually and return to the installation",
                                 backupDir.c_str()));
            return FALSE;
        }
        WriteLog(log, "File %s successfully deleted", backupDir.c_str());
    }

    if (!EnsureDirectory(backupDir + "\\", log, record)) {
        ui.ShowBox(RunBox::kError, FormatText("Cannot create directory %s (disk full?)\n"
                             "Please correct the problem manually and return to the installation",
                             backupDir.c_str()));
        WriteLog(log, "Cannot create directory %s, installation aborted", backupDir.c_str());
        return FALSE;
    }
    WriteLog(log, "Directory successfully created");
    return TRUE;
}

const char kBackupDirName[] = "\\Backup";

// Moves |path| into the backup directory of |appDir| under its own file name.
BOOL MoveIntoBackup(const std::string& path, const std::string& appDir, BOOL* pDllsUpgraded, RunUi& ui,
                    InstallLog& log) {
    if (SplitPath(path, "\\").directory.size() < 2) {  // no backslash, or only one in front
        ui.ShowBox(RunBox::kError, FormatText("Could not copy file %s due to a parsing error.\n"
                             "Please contact the developer and report the problem",
                             path.c_str()));
        WriteLog(log, "Could not copy file %s due to a parsing error, installation should be aborted.",
                 path.c_str());
        return FALSE;
    }
    const std::string target = BackupPathOf(path, appDir);

    // Read-only, hidden and system would stand in the way of the move.
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_ARCHIVE);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_ARCHIVE);
    // MoveFile never replaces: an earlier backup of the same name is kept
    // and this move fails.
    if (!MoveFileA(path.c_str(), target.c_str())) {
        ui.ShowBox(RunBox::kError, FormatText("Cannot make backup of %s\ninto %s.\n"
                             "Please check file attributes and\ndisk space and return to the installation",
                             path.c_str(), target.c_str()));
        WriteLog(log, "Could not move %s to %s, installation should be aborted.", path.c_str(), target.c_str());
        return FALSE;
    }
    if (pDllsUpgraded) *pDllsUpgraded = TRUE;
    WriteLog(log, "Moved successfully: %s to %s", path.c_str(), target.c_str());
    return TRUE;
}

}  // namespace

std::string BackupPathOf(const std::string& path, const std::string& appDir) {
    return appDir + kBackupDirName + "\\" + SplitPath(path, "\\").fileName;
}

BOOL RestoreOldDll(const std::string& path, const std::string& appDir, InstallLog& log) {
    const std::string backup = BackupPathOf(path, appDir);
    if (MoveFileExA(backup.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        WriteLog(log, "Old DLL %s moved back from %s", path.c_str(), backup.c_str());
        return TRUE;
    }
    WriteLog(log, "Old DLL %s could not be moved back from %s (error %lu)", path.c_str(), backup.c_str(),
             static_cast<unsigned long>(GetLastError()));
    return FALSE;
}

BOOL BackupOldDll(const std::string& path, const std::string& appDir, BOOL* pDllsUpgraded, RunUi& ui,
                  const FileList& list, InstallLog& log, InstallRecord& record) {
    // Shared DLLs are never moved, and nothing about them is written.
    if (!IsDllPath(path) || IsSharedFile(list, path.c_str())) return FALSE;

    BOOL result = PrepareBackupDirectory(appDir + kBackupDirName, ui, log, record) &&
                  MoveIntoBackup(path, appDir, pDllsUpgraded, ui, log);
    WriteLog(log, "File %s was %s successfully save to directory %s", path.c_str(), result ? "" : "NOT",
             appDir.c_str());
    return result;
}
