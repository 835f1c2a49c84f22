// The installer's application object.
#pragma once

#include "engine/setup_objects.h"
#include "fw/app.h"

#include <string>

// The process exit codes, with and without windows.
enum ExitCode {
    kExitInstalled = 0,    // installed; or setup.drc prepared from the plain list
    kExitFailed = 1,       // the installation ran and failed; or setup.drc could not be written
    kExitCommandLine = 2,  // the command line is wrong
    kExitIncomplete = 3,   // the distribution is incomplete, unreadable or damaged (setup.drc missing or bad,
                           // a file not as setup.sum says)
    kExitCancelled = 4,    // the user cancelled in the wizard, or before the run for files in use
    kExitRestartNeeded = 3010,  // installed, but files that were in use are replaced when Windows restarts
                                // (ERROR_SUCCESS_REBOOT_REQUIRED)
};

// Where the program is wired together: it makes the installation's shared
// objects (the log, the file list, the medium) and hands them to the
// sequence and the run.
class CSetupApp : public CWinApp {
public:
    // Checks the command line, then writes "setup.drc" from the plain list
    // when only the list is there, or loads "setup.drc" and runs the
    // installation. Always FALSE: the program ends when the installation is over.
    BOOL InitInstance() override;
    // The exit code of what InitInstance did.
    int ExitInstance() override { return m_nExitCode; }

private:
    int Install();

    int m_nExitCode = kExitFailed;
    SetupObjects m_setup;  // lives until the program ends: the log file is closed then
};

// Name of the plain list that "setup.drc" is made from when it is missing.
std::string PlainListName();
