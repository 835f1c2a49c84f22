#include "engine/run_report.h"

#include "engine/directory.h"
#include "engine/format_text.h"

void ReportFailure(const RunResult& failure, RunUi& ui, InstallLog& log, const FileList& list) {
    if (failure.cause) ReportFailure(*failure.cause, ui, log, list);
    const char* path = failure.path.c_str();
    const char* other = failure.other.c_str();
    const unsigned long error = failure.error;
    switch (failure.what) {
    case RunOutcome::kDirectoryFailed:
        // A path without any directory fails without a line of its own.
        if (!failure.path.empty())
            WriteLog(log, "Error creating directory %s: %s", path, FormatSystemError(failure.error).c_str());
        break;
    case RunOutcome::kDestDirFailed:
        ui.ShowBox(RunBox::kNotice, "Failed to create destination directory, please check problem and restart install");
        break;
    case RunOutcome::kListFailed:
        WriteLog(log, "One or more files missing, LoadFileList(m_hWnd,\"setup.drc\",%s) failed. Installation aborted.",
                 other);
        ui.ShowBox(RunBox::kNotice, "One or more files missing, cannot continue installation");
        break;
    case RunOutcome::kTempDirFailed:
        WriteLog(log, "EnsureDirectory(%s) returned FALSE.", path);
        break;
    case RunOutcome::kTempIsFile:
        ui.ShowBox(RunBox::kError, FormatText("The specified Windows temporary directory setting is wrong.\nPlease "
                                              "correct the problem and reinstall.\nWrong path: %s\n",
                                              path));
        WriteLog(log, "Temporary path is a file, not a directory. Must abort installation");
        break;
    case RunOutcome::kTempFolderFailed:
        WriteLog(log, "Cannot create a private folder in %s (error %lu)", path, error);
        break;
    case RunOutcome::kCountNotRaised:
        WriteLog(log, "The shared count of %s could not be raised (error %lu)", path, error);
        break;
    case RunOutcome::kExpanderError:
        // The expander's own box, when it has one to show.
        if (!failure.detail.empty()) ui.ShowBox(RunBox::kExpander, failure.detail);
        break;
    case RunOutcome::kDamaged:
        WriteLog(log, "Damaged distribution: %s does not match setup.sum, must abort", path);
        ui.ShowBox(RunBox::kError, DamagedDistributionText(failure.path));
        break;
    case RunOutcome::kDllAborted:
        WriteLog(log, "Failed to decompress %s to %s, must abort", path, other);
        ui.ShowBox(RunBox::kError, FormatText("Failed to decompress %s to %s, please check disk space", path, other));
        break;
    case RunOutcome::kBackupInTheWay:
        WriteLog(log, "The file named %s cannot be deleted, installation should be aborted", path);
        ui.ShowBox(RunBox::kError, FormatText("It seems a file named %s exists and cannot be deleted.\n"
                                              "Please delete that file manually and return to the installation",
                                              path));
        break;
    case RunOutcome::kBackupDirFailed:
        ui.ShowBox(RunBox::kError, FormatText("Cannot create directory %s (disk full?)\n"
                                              "Please correct the problem manually and return to the installation",
                                              path));
        WriteLog(log, "Cannot create directory %s, installation aborted", path);
        break;
    case RunOutcome::kBackupPathUnparsed:
        ui.ShowBox(RunBox::kError, FormatText("Could not copy file %s due to a parsing error.\n"
                                              "Please contact the developer and report the problem",
                                              path));
        WriteLog(log, "Could not copy file %s due to a parsing error, installation should be aborted.", path);
        break;
    case RunOutcome::kBackupMoveFailed:
        ui.ShowBox(RunBox::kError, FormatText("Cannot make backup of %s\ninto %s.\n"
                                              "Please check file attributes and\ndisk space and return to the "
                                              "installation",
                                              path, other));
        WriteLog(log, "Could not move %s to %s, installation should be aborted.", path, other);
        break;
    case RunOutcome::kBackupNotSaved:
        WriteLog(log, "File %s was NOT successfully save to directory %s", path, other);
        break;
    case RunOutcome::kBackupFailed:
        WriteLog(log, "DLL %s could not be saved", path);
        break;
    case RunOutcome::kRestoreFailed:
        WriteLog(log, "Old DLL %s could not be moved back from %s (error %lu)", path, other, error);
        break;
    case RunOutcome::kExpandFailed: {
        // A shared file is kept out of what the user sees.
        const std::string text = FormatText("Failed to decompress file\n%s\nIs file in use?", path);
        if (IsSharedFile(list, text.c_str())) {
            ui.ShowBox(RunBox::kError,
                       "Cannot decompress shared file. Please close all other applications and reinstall");
            WriteLog(log, "Cannot decompress shared file, must abort");
        } else {
            ui.ShowBox(RunBox::kError, text);
            WriteLog(log, "Failed to decompress to %s, must abort", path);
        }
        break;
    }
    case RunOutcome::kGroupFailed:
        WriteLog(log, "Failed to create group: %s.", path);
        ui.ShowBox(RunBox::kNotice,
                   "Failed to create group.\nYou still can run the program and\nuninstaller from their directory");
        break;
    case RunOutcome::kShortcutFailed:
        WriteLog(log, "Failed to create shortcut to %s", path);
        ui.ShowBox(RunBox::kNotice, std::string("Failed to create start menu shortcut to\n") + path +
                                        "\nYou still can run the program from its directory");
        break;
    case RunOutcome::kRegistryNotUpdated:
        WriteLog(log, "Registry not successfully updated");
        ui.ShowBox(RunBox::kNotice, "Uninstall information could not successfully\nbe input to registry. The "
                                    "program can run normally,\nbut its uninstallation will have to be "
                                    "done\nmanually.");
        break;
    case RunOutcome::kEntryNotDone:
        WriteLog(log, "%s", failure.detail.c_str());
        break;
    case RunOutcome::kUninstallerNotCopied:
    case RunOutcome::kNotRegistered:
    case RunOutcome::kRecordNotSaved:
        WriteLog(log, "%s", UninstallableFailureText(failure).c_str());
        break;
    case RunOutcome::kGoingOn:
    case RunOutcome::kCompleted:
    case RunOutcome::kLogRefused:     // the question was the report
    case RunOutcome::kBackupRefused:  // nothing about a shared DLL is written
    case RunOutcome::kRecordRefused:  // the caller says what it does instead
    case RunOutcome::kStayed:         // the undo logs what stayed as it goes
        break;
    }
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
