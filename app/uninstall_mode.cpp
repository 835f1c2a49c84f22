#include "app/uninstall_mode.h"

#include "app/command_line.h"
#include "app/run_boxes.h"
#include "app/setup_app.h"
#include "app/unattended.h"
#include "base/path_parts.h"
#include "engine/private_folder.h"
#include "engine/uninstall.h"
#include "fw/app.h"
#include "fw/message_box.h"

#include <windows.h>

#include <string>
#include <vector>

namespace {

std::string OwnPath() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

// Where the uninstaller in the application directory goes while it waits
// for its copy: into the copy's folder, on the drive of the temporary
// directory. The copy learns it from its environment.
constexpr char kAsideVariable[] = "SETUP_UNINSTALLER_ASIDE";

// Deletes |path|, waiting a little for a process that has just ended to let go of it.
bool DeleteWhenFree(const std::string& path) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (DeleteFileA(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) return true;
        Sleep(100);
    }
    return false;
}

int RunFromTemporaryCopy(const CommandLine& line) {
    std::string appDir = SplitPath(OwnPath(), "\\").directory;
    if (appDir.size() > 1) appDir.pop_back();
    // The copy runs from a folder of this run's own (private_folder.h): a
    // DLL or a file planted in the temporary directory cannot reach it.
    PrivateFolder folder;
    if (folder.Create(TemporaryDirectory()).Failed()) {
        if (!line.unattended)
            ShowMessageBox(nullptr, ("Cannot make a folder for the uninstaller in " + TemporaryDirectory()).c_str(),
                           "Error", MB_OK | MB_ICONERROR);
        return kExitFailed;
    }
    const std::string copy = folder.Path() + "\\" + kUninstallerName;
    if (!CopyFileA(OwnPath().c_str(), copy.c_str(), TRUE)) {
        if (!line.unattended)
            ShowMessageBox(nullptr, ("Cannot copy the uninstaller to " + copy).c_str(), "Error", MB_OK | MB_ICONERROR);
        return kExitFailed;
    }

    // Neither process may keep the application directory, nor this one the
    // copy's folder, as its working directory.
    SetCurrentDirectoryA(TemporaryDirectory().c_str());
    const std::string aside = folder.Path() + "\\uninstall.old";
    SetEnvironmentVariableA(kAsideVariable, aside.c_str());
    std::string command = "\"" + copy + "\" /uninstall" + (line.unattended ? " /S" : "") + " /D=" + appDir;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    DWORD code = kExitFailed;
    if (CreateProcessA(copy.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.Path().c_str(),
                       &startup, &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else if (!line.unattended) {
        ShowMessageBox(nullptr, ("Cannot start the uninstaller " + copy).c_str(), "Error", MB_OK | MB_ICONERROR);
    }
    DeleteWhenFree(copy);
    // The folder goes with the copy. This program's own file, which the copy
    // moved aside into it, cannot be deleted while it runs on Windows: it
    // goes at the next restart, and the folder with it.
    folder.Remove();
    return static_cast<int>(code);
}

// One message box of the uninstaller; nothing with /S, where the log line
// the caller writes beside it says the same.
void Tell(const CommandLine& line, const std::string& text, UINT style) {
    if (line.unattended) return;
    ShowMessageBox(nullptr, text.c_str(), AfxGetAppName(), style);
}

int UninstallHere(const CommandLine& line, SetupObjects& setup) {
    InstallLog& log = setup.log;
    const std::string& appDir = line.destDir;
    // The log stays for the user to read, in the temporary directory under a
    // name that nothing had before (private_folder.h).
    std::string logPath;
    if (!log.UseLogFile(CreateFreshFile(TemporaryDirectory(), "UNINSTALL-", ".LOG", logPath))) logPath.clear();
    WriteLog(log, "Uninstallation from %s%s", appDir.c_str(), line.unattended ? " (unattended, /S)" : "");

    InstallRecord record;
    const RunResult loaded = LoadInstallRecord(appDir, record);
    if (loaded.Failed()) {
        const std::string& error = loaded.detail;
        WriteLog(log, "The uninstall record is missing or damaged (%s); nothing was removed", error.c_str());
        Tell(line, "The uninstall information in " + appDir + " is missing or damaged:\n" + error +
                       "\nNothing was removed.", MB_OK | MB_ICONERROR);
        return kExitIncomplete;
    }
    const std::string product = record.product.empty() ? UninstallKeyName(record.product, appDir) : record.product;
    if (!line.unattended &&
        ShowMessageBox(nullptr, ("Remove " + product + " and all of its components?").c_str(), AfxGetAppName(),
                       MB_YESNO | MB_ICONQUESTION) != IDYES) {
        WriteLog(log, "Uninstallation cancelled");
        return kExitCancelled;
    }

    char aside[MAX_PATH] = "";
    GetEnvironmentVariableA(kAsideVariable, aside, MAX_PATH);
    RunResult undone;
    if (line.unattended) {
        UnattendedUi ui(setup, appDir);
        undone = UndoInstallation(record, appDir, ui, log, aside);
    } else {
        MessageBoxRunUi ui;
        undone = UndoInstallation(record, appDir, ui, log, aside);
    }
    const std::vector<std::string> stayed = StayedItems(undone);
    if (stayed.empty()) {
        WriteLog(log, "Uninstallation Successfully Completed");
        Tell(line, product + " was successfully removed from your computer.", MB_OK);
        return kExitInstalled;
    }
    WriteLog(log, "Uninstallation ended; %u item(s) could not be removed", static_cast<unsigned>(stayed.size()));
    std::string list;
    for (const std::string& item : stayed) list += "\n" + item;
    Tell(line, product + " was removed, except for what could not be removed:" + list +
                   (logPath.empty() ? std::string() : "\n\n" + logPath + " says why."),
         MB_OK | MB_ICONWARNING);
    return kExitFailed;
}

}  // namespace

int RunUninstallation(const CommandLine& line, SetupObjects& setup) {
    return line.hasDestDir ? UninstallHere(line, setup) : RunFromTemporaryCopy(line);
}
