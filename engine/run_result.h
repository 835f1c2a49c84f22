// What an operation of the engine reports: what happened, the file, directory
// or key it concerns, the Windows error where there is one, and a text where
// the reason is not a Windows error (a damaged record says what is wrong).
// The installation run, the payload check, the uninstaller's registration,
// the reading and loading of the record and the undo report through it.
// Win32-free, so that the record's reader, which builds natively, returns it
// too; the error is a Windows error code (a DWORD) all the same.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

enum class RunOutcome {
    kGoingOn,        // done, and more may come (for a whole operation: nothing failed)
    kCompleted,      // the final step is done: the installation is complete
    kDestDirFailed,  // the destination directory cannot be created (path, error)
    kLogRefused,     // SETUP.LOG cannot be created and the question was answered No (path)
    kListFailed,     // the file list cannot be loaded again (path: the list's name)
    kTempIsFile,     // the temporary path names a file (path)
    kDllAborted,     // the version decision of a DLL failed (path: the DLL)
    kBackupFailed,   // an existing DLL cannot be saved into Backup (path: the DLL)
    kExpandFailed,   // a payload cannot be expanded into place (path: the destination)
    kDamaged,        // a payload is not what setup.sum says (path: its source name)
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
    RunResult() = default;
    RunResult(RunOutcome outcome, std::string onPath = std::string(), uint32_t code = 0,
              std::string why = std::string())
        : what(outcome), path(std::move(onPath)), error(code), detail(std::move(why)) {}

    RunOutcome what = RunOutcome::kGoingOn;
    std::string path;    // the file, directory or key the outcome concerns
    uint32_t error = 0;  // the Windows error code (a DWORD), where there is one
    std::string detail;  // what is wrong, where no error code says it

    bool Failed() const { return what != RunOutcome::kGoingOn && what != RunOutcome::kCompleted; }
};
