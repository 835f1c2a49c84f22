// What an operation of the engine reports: what happened, the file,
// directory or key it concerns, the Windows error where there is one, a text
// where the reason is not a Windows error (a damaged record says what is
// wrong), and the failure it came from. The operations below the
// installation run return it and show and log nothing of their failures;
// the run hands each failure to ReportFailure (engine/run_report.h), which
// alone turns it into boxes and log lines. Win32-free, so that the record's
// reader, which builds natively, returns it too; the error is a Windows
// error code (a DWORD) all the same.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

enum class RunOutcome {
    // What a run, a step or an operation ends with when nothing failed.
    kGoingOn,        // done, and more may come (for a whole operation: nothing failed)
    kCompleted,      // the final step is done: the installation is complete

    // How a run ends after a failure (the path says where).
    kDestDirFailed,  // the destination directory cannot be created (path, error; cause: the level)
    kLogRefused,     // SETUP.LOG cannot be created and the question was answered No (path)
    kListFailed,     // the file list cannot be loaded again (path: the list's name; other: the destination)
    kTempIsFile,     // the temporary path names a file (path)
    kDllAborted,     // the version decision of a DLL failed (path: the source; other: the temporary copy;
                     // cause: the expander's failure, when it ran)
    kBackupFailed,   // an existing DLL cannot be saved into Backup (path: the DLL)
    kExpandFailed,   // a payload cannot be expanded into place (path: the destination; cause: the expander's failure)
    kDamaged,        // a payload is not what setup.sum says (path: its source name)

    // What a step meets on the way; the run reports it and goes on or ends.
    kDirectoryFailed,    // a directory level cannot be created (path: that level, empty when the path names no
                         // directory; error)
    kTempDirFailed,      // the temporary directory cannot be made sure of (path; cause: the level)
    kTempFolderFailed,   // the run's own folder cannot be made below the temporary directory (path, error)
    kCountNotRaised,     // the shared-DLL count of a DLL cannot be raised (path, error)
    kExpanderError,      // the expander cannot open, read or write a file (path: that file; detail: its box's text)
    kBackupRefused,      // a file that is no DLL, or a shared one, is never moved into Backup (path)
    kBackupInTheWay,     // a plain file named Backup stands in the way and cannot be deleted (path: it)
    kBackupDirFailed,    // the backup directory cannot be created (path: it; cause: the level)
    kBackupPathUnparsed, // the DLL's path has no directory to take its name from (path)
    kBackupMoveFailed,   // the DLL cannot be moved into Backup (path; other: the backup's path; error)
    kBackupNotSaved,     // the DLL was not saved (path; other: the application directory; cause: why)
    kRestoreFailed,      // a DLL saved into Backup cannot be moved back (path; other: the backup; error)
    kGroupFailed,        // a shortcut's program group cannot be created (path: the link; cause: the level)
    kShortcutFailed,     // a shortcut cannot be written (path: its target; error: the HRESULT)
    kRegistryNotUpdated, // a registry value, or the uninstaller's registration, cannot be written (path)
    kEntryNotDone,       // an entry of the list cannot be carried out, and the run goes on without it (path:
                         // the entry's; detail: the run's line that says so)

    // What making the installation removable, and undoing it, meet.
    kUninstallerNotCopied,  // the uninstaller cannot be copied into place (path, error)
    kNotRegistered,         // neither HKLM nor HKCU takes the Uninstall values (path: the key's name)
    kRecordNotSaved,        // uninstall.dat cannot be written, or its digest not registered (path)
    kRecordRefused,         // uninstall.dat is missing, damaged or not the one registered (path, detail;
                            // the record's reader, which has no path, leaves it empty)
    kStayed,                // something of an installation could not be undone (path: what, error; for
                            // the whole undo: the first thing that stayed and its error, and in detail
                            // every thing that stayed, one per line)
};

struct RunResult {
    RunResult();
    RunResult(RunOutcome outcome, std::string onPath = std::string(), uint32_t code = 0,
              std::string why = std::string());
    // (Out of line: a result is made, copied and dropped in many places, and
    // the shipped program is kept small.)
    RunResult(const RunResult& other);
    RunResult(RunResult&& other) noexcept;
    RunResult& operator=(const RunResult& other);
    RunResult& operator=(RunResult&& other) noexcept;
    ~RunResult();

    RunOutcome what = RunOutcome::kGoingOn;
    std::string path;    // the file, directory or key the outcome concerns
    uint32_t error = 0;  // the Windows error code (a DWORD), where there is one
    std::string detail;  // what is wrong, where no error code says it
    std::string other;   // a second path, where the outcome concerns two
    std::unique_ptr<RunResult> cause;  // the failure this one came from, reported before it

    bool Failed() const { return what != RunOutcome::kGoingOn && what != RunOutcome::kCompleted; }

    // This result with |second| as its second path.
    RunResult& And(std::string second);
    // This result with |why| as its cause.
    RunResult& Because(const RunResult& why);
};
