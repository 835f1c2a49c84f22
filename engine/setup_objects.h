// The objects one installation shares from start-up to exit: the
// installation log, the file list with its default destination directory,
// and the distribution medium. The program makes them once, where it is wired
// together (the application object, app/setup_app.h), and hands them to what
// uses them; a test makes its own.
#pragma once

#include "base/install_log.h"
#include "formats/file_list.h"
#include "formats/medium.h"

#include <string>

struct SetupObjects {
    // No line that names a shared file of the list reaches the log: the
    // filter looks at the whole composed line, and at the list as it is
    // loaded at the time (the run loads it again).
    SetupObjects() {
        log.SetFilter([this](const char* line) { return IsSharedFile(list, line); });
    }
    SetupObjects(const SetupObjects&) = delete;
    SetupObjects& operator=(const SetupObjects&) = delete;

    InstallLog log;
    FileList list;
    std::string DefaultDestDir;  // set by the list's X lines, or by /D= on the command line
    Medium medium;               // read and checked at start-up
};
