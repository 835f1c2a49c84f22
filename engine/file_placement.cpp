#include "engine/file_placement.h"

#include "base/file_io.h"
#include "base/path_parts.h"
#include "base/sha256.h"
#include "base/wide_text.h"
#include "engine/directory.h"
#include "engine/expand_payload.h"
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
    decltype(&GetFileVersionInfoSizeW) infoSize =
        library.Function<decltype(&GetFileVersionInfoSizeW)>("GetFileVersionInfoSizeW");
    decltype(&GetFileVersionInfoW) info = library.Function<decltype(&GetFileVersionInfoW)>("GetFileVersionInfoW");
    decltype(&VerQueryValueW) query = library.Function<decltype(&VerQueryValueW)>("VerQueryValueW");
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
    const std::wstring wide = WidePath(path);
    const DWORD size = version.infoSize(wide.c_str(), &handle);
    if (size == 0) return FALSE;
    std::unique_ptr<BYTE[]> info(new (std::nothrow) BYTE[size]);
    if (!info || !version.info(wide.c_str(), 0, size, info.get())) return FALSE;

    void* value = nullptr;
    UINT length = 0;
    if (!version.query(info.get(), L"\\", &value, &length) || !value || length == 0) return FALSE;
    // A record shorter than VS_FIXEDFILEINFO would be read past its end.
    if (length < sizeof(VS_FIXEDFILEINFO)) return FALSE;

    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    if (fixed->dwSignature != VS_FFI_SIGNATURE) return FALSE;
    major = HIWORD(fixed->dwFileVersionMS);
    minor = LOWORD(fixed->dwFileVersionMS);
    return TRUE;
}

DllDecision DecideDllReplacement(const std::string& dest, const std::string& source, const std::string& tempDir,
                                 const Medium& medium, InstallLog& log, RunResult& why) {
    WORD oldMajor = 0, oldMinor = 0;
    if (!GetFileVersionNumbers(dest, oldMajor, oldMinor)) {
        WriteLog(log, "Failed to get version info from %s, will replace anyway", dest.c_str());
        return DllDecision::Replace;
    }

    // The new DLL is expanded once here to read its version, and again later
    // into its destination.
    const std::string tempCopy = tempDir + "\\" + GetPathFileName(dest);
    // Without the run's temporary folder there is nowhere to expand it safely.
    const RunResult expanded = tempDir.empty() ? RunResult() : ExpandPayload(source.c_str(), tempCopy.c_str(), medium);
    if (expanded.what == RunOutcome::kDamaged) {
        why = expanded;
        return DllDecision::Abort;
    }
    if (tempDir.empty() || expanded.Failed()) {
        why = RunResult(RunOutcome::kDllAborted, source).And(tempCopy);
        if (expanded.Failed()) why.Because(expanded);
        return DllDecision::Abort;
    }
    WriteLog(log, "Decompressed %s to %s", source.c_str(), tempCopy.c_str());

    WORD newMajor = 0, newMinor = 0;
    const bool keep = GetFileVersionNumbers(tempCopy, newMajor, newMinor) &&
                      !IsNewer(newMajor, newMinor, oldMajor, oldMinor);
    DeletePath(tempCopy);

    if (!keep) return DllDecision::Replace;
    WriteLog(log, "Will not expand to %s", dest.c_str());
    return DllDecision::Keep;
}

namespace {

// Makes sure |backupDir| is a directory, removing a plain file in its place.
RunResult PrepareBackupDirectory(const std::string& backupDir, InstallLog& log, InstallRecord& record) {
    bool found, isDirectory;
    {
        FindFirst search(backupDir);
        found = search.Found();
        isDirectory = search.IsDirectory();
    }
    if (isDirectory) {
        WriteLog(log, "Subdirectory already exists");
        return RunResult();
    }
    if (!found) {
        WriteLog(log, "%s not found, will have to create it", backupDir.c_str());
    } else {
        WriteLog(log, "There is a FILE named %s!!!!", backupDir.c_str());
        if (!DeletePath(backupDir)) return RunResult(RunOutcome::kBackupInTheWay, backupDir, GetLastError());
        WriteLog(log, "File %s successfully deleted", backupDir.c_str());
    }

    const RunResult made = EnsureDirectory(backupDir + "\\", log, record);
    if (made.Failed()) return RunResult(RunOutcome::kBackupDirFailed, backupDir).Because(made);
    WriteLog(log, "Directory successfully created");
    return RunResult();
}

const char kBackupDirName[] = "\\Backup";

// Moves |path| into the backup directory of |appDir| under its own file name.
RunResult MoveIntoBackup(const std::string& path, const std::string& appDir, BOOL* pDllsUpgraded, InstallLog& log) {
    // No backslash, or only one in front: no directory to take the name from.
    if (SplitPath(path, "\\").directory.size() < 2) return RunResult(RunOutcome::kBackupPathUnparsed, path);
    const std::string target = BackupPathOf(path, appDir);

    // Read-only, hidden and system would stand in the way of the move.
    SetPathAttributes(target, FILE_ATTRIBUTE_ARCHIVE);
    SetPathAttributes(path, FILE_ATTRIBUTE_ARCHIVE);
    // MoveFile never replaces: an earlier backup of the same name is kept
    // and this move fails.
    if (!MovePath(path, target))
        return RunResult(RunOutcome::kBackupMoveFailed, path, GetLastError()).And(target);
    if (pDllsUpgraded) *pDllsUpgraded = TRUE;
    WriteLog(log, "Moved successfully: %s to %s", path.c_str(), target.c_str());
    return RunResult();
}

}  // namespace

std::string SavedDllDigest(const std::string& path, std::vector<uint8_t>* bytes) {
    unsigned long long size = 0;
    std::vector<uint8_t> read;
    Sha256Digest digest;
    if (!FileSizeOf(path, size) || size > (256u << 20) || !ReadWholeFile(path, read) ||
        !HashBytes(read.data(), read.size(), digest))
        return std::string();
    if (bytes) *bytes = std::move(read);
    return std::string(digest.begin(), digest.end());
}

std::string BackupPathOf(const std::string& path, const std::string& appDir) {
    return appDir + kBackupDirName + "\\" + SplitPath(path, "\\").fileName;
}

RunResult RestoreOldDll(const std::string& path, const std::string& appDir, InstallLog& log) {
    const std::string backup = BackupPathOf(path, appDir);
    if (!MovePath(backup, path, MOVEFILE_REPLACE_EXISTING))
        return RunResult(RunOutcome::kRestoreFailed, path, GetLastError()).And(backup);
    WriteLog(log, "Old DLL %s moved back from %s", path.c_str(), backup.c_str());
    return RunResult();
}

RunResult BackupOldDll(const std::string& path, const std::string& appDir, BOOL* pDllsUpgraded, const FileList& list,
                       InstallLog& log, InstallRecord& record) {
    // Shared DLLs are never moved, and nothing about them is written.
    if (!IsDllPath(path) || IsSharedFile(list, path.c_str())) return RunResult(RunOutcome::kBackupRefused, path);

    RunResult moved = PrepareBackupDirectory(appDir + kBackupDirName, log, record);
    if (!moved.Failed()) moved = MoveIntoBackup(path, appDir, pDllsUpgraded, log);
    if (moved.Failed()) return RunResult(RunOutcome::kBackupNotSaved, path).And(appDir).Because(moved);
    WriteLog(log, "File %s was %s successfully save to directory %s", path.c_str(), "", appDir.c_str());
    return RunResult();
}
