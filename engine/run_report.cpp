#include "engine/run_report.h"

#include "engine/directory.h"
#include "base/format_text.h"

void ReportFailure(const RunResult& failure, RunUi& ui, InstallLog& log, const FileList& list) {
    if (failure.cause) ReportFailure(*failure.cause, ui, log, list);
    const char* path = failure.path.c_str();
    const char* other = failure.other.c_str();
    const unsigned long error = failure.error;
    // What the failure writes to the log and shows, and in which order.
    std::string line, box;
    RunBox kind = RunBox::kError;
    bool boxFirst = false;
    switch (failure.what) {
    case RunOutcome::kDirectoryFailed:
        // A path without any directory fails without a line of its own.
        if (!failure.path.empty())
            line = FormatText("Error creating directory %s: %s", path, FormatSystemError(failure.error).c_str());
        break;
    case RunOutcome::kDestDirFailed:
        kind = RunBox::kNotice;
        // The specified words, then which directory and why: the user
        // cannot check a problem that the box does not name.
        {
            std::string reason = FormatSystemError(failure.error);
            while (!reason.empty() && (reason.back() == '\r' || reason.back() == '\n')) reason.pop_back();
            box = FormatText("Failed to create destination directory, please check problem and restart install\n\n%s\n%s",
                             path, reason.c_str());
        }
        break;
    case RunOutcome::kListFailed:
        line = FormatText("One or more files missing, LoadFileList(m_hWnd,\"setup.drc\",%s) failed. Installation "
                          "aborted.",
                          other);
        kind = RunBox::kNotice;
        box = "One or more files missing, cannot continue installation";
        break;
    case RunOutcome::kTempDirFailed:
        line = FormatText("EnsureDirectory(%s) returned FALSE.", path);
        break;
    case RunOutcome::kTempIsFile:
        boxFirst = true;
        box = FormatText("The specified Windows temporary directory setting is wrong.\nPlease correct the problem and "
                         "reinstall.\nWrong path: %s\n",
                         path);
        line = "Temporary path is a file, not a directory. Must abort installation";
        break;
    case RunOutcome::kTempFolderFailed:
        line = FormatText("Cannot create a private folder in %s (error %lu)", path, error);
        break;
    case RunOutcome::kCountNotRaised:
        line = FormatText("The shared count of %s could not be raised (error %lu)", path, error);
        break;
    case RunOutcome::kExpanderError:
        // The expander's own box, when it has one to show.
        kind = RunBox::kExpander;
        box = failure.detail;
        break;
    case RunOutcome::kDamaged:
        line = FormatText("Damaged distribution: %s does not match setup.sum, must abort", path);
        box = DamagedDistributionText(failure.path);
        break;
    case RunOutcome::kDllAborted:
        line = FormatText("Failed to decompress %s to %s, must abort", path, other);
        box = FormatText("Failed to decompress %s to %s, please check disk space", path, other);
        break;
    case RunOutcome::kBackupInTheWay:
        line = FormatText("The file named %s cannot be deleted, installation should be aborted", path);
        box = FormatText("It seems a file named %s exists and cannot be deleted.\nPlease delete that file manually "
                         "and return to the installation",
                         path);
        break;
    case RunOutcome::kBackupDirFailed:
        boxFirst = true;
        box = FormatText("Cannot create directory %s (disk full?)\nPlease correct the problem manually and return to "
                         "the installation",
                         path);
        line = FormatText("Cannot create directory %s, installation aborted", path);
        break;
    case RunOutcome::kBackupPathUnparsed:
        boxFirst = true;
        box = FormatText("Could not copy file %s due to a parsing error.\nPlease contact the developer and report the "
                         "problem",
                         path);
        line = FormatText("Could not copy file %s due to a parsing error, installation should be aborted.", path);
        break;
    case RunOutcome::kBackupMoveFailed:
        boxFirst = true;
        box = FormatText("Cannot make backup of %s\ninto %s.\nPlease check file attributes and\ndisk space and return "
                         "to the installation",
                         path, other);
        line = FormatText("Could not move %s to %s, installation should be aborted.", path, other);
        break;
    case RunOutcome::kBackupNotSaved:
        line = FormatText("File %s was NOT successfully save to directory %s", path, other);
        break;
    case RunOutcome::kBackupFailed:
        line = FormatText("DLL %s could not be saved", path);
        break;
    case RunOutcome::kRestoreFailed:
        line = FormatText("Old DLL %s could not be moved back from %s (error %lu)", path, other, error);
        break;
    case RunOutcome::kExpandFailed:
        // A shared file is kept out of what the user sees.
        boxFirst = true;
        box = FormatText("Failed to decompress file\n%s\nIs file in use?", path);
        if (IsSharedFile(list, box.c_str())) {
            box = "Cannot decompress shared file. Please close all other applications and reinstall";
            line = "Cannot decompress shared file, must abort";
        } else {
            line = FormatText("Failed to decompress to %s, must abort", path);
        }
        break;
    case RunOutcome::kGroupFailed:
        line = FormatText("Failed to create group: %s.", path);
        kind = RunBox::kNotice;
        box = "Failed to create group.\nYou still can run the program and\nuninstaller from their directory";
        break;
    case RunOutcome::kShortcutFailed:
        line = FormatText("Failed to create shortcut to %s", path);
        kind = RunBox::kNotice;
        box = FormatText("Failed to create start menu shortcut to\n%s\nYou still can run the program from its "
                         "directory",
                         path);
        break;
    case RunOutcome::kRegistryNotUpdated:
        line = "Registry not successfully updated";
        kind = RunBox::kNotice;
        box = "Uninstall information could not successfully\nbe input to registry. The program can run normally,\n"
              "but its uninstallation will have to be done\nmanually.";
        break;
    case RunOutcome::kEntryNotDone:
        line = failure.detail;
        break;
    case RunOutcome::kUninstallerNotCopied:
    case RunOutcome::kNotRegistered:
    case RunOutcome::kRecordNotSaved:
        line = UninstallableFailureText(failure);
        break;
    case RunOutcome::kGoingOn:
    case RunOutcome::kCompleted:
    case RunOutcome::kLogRefused:     // the question was the report
    case RunOutcome::kBackupRefused:  // nothing about a shared DLL is written
    case RunOutcome::kRecordRefused:  // the caller says what it does instead
    case RunOutcome::kStayed:         // the undo logs what stayed as it goes
        break;
    }
    if (boxFirst && !box.empty()) ui.ShowBox(kind, box);
    if (!line.empty()) WriteLog(log, "%s", line.c_str());
    if (!boxFirst && !box.empty()) ui.ShowBox(kind, box);
}

std::string DamagedDistributionText(const std::string& name) {
    return "The installation files are damaged: " + name +
           " is not as it was packed.\nPlease get a new copy of the installation files and run Setup again.";
}

std::string UninstallableFailureText(const RunResult& failure) {
    std::string text;
    switch (failure.what) {
    case RunOutcome::kUninstallerNotCopied: text = "The uninstaller could not be copied to " + failure.path; break;
    case RunOutcome::kNotRegistered: text = "The uninstaller could not be registered in " + failure.path; break;
    case RunOutcome::kRecordNotSaved:
        text = "The uninstall record " + failure.path + " " +
               (failure.detail.empty() ? std::string("could not be written") : failure.detail);
        break;
    default: text = "The installation could not be made removable: " + failure.path; break;
    }
    if (failure.error) text += FormatText(" (error %lu)", static_cast<unsigned long>(failure.error));
    return text;
}
