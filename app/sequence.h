// The installation sequence: the welcome, terms and destination pages one
// after another (Back on the destination page leads to the terms page again),
// then the installation run and the final message. Every decision is written
// to the installation log; until the run opens "SETUP.LOG" those lines wait in
// the log's memory, and they are lost when the user leaves the wizard early.
#pragma once

#include "base/install_log.h"
#include "formats/medium.h"

#include <string>

struct CommandLine;
struct UninstallerSource;
struct SetupObjects;

// What the sequence asks of the user interface. Each call shows one modal
// window and returns when it is closed. true means the page ended with IDOK.
class SequenceUi {
public:
    virtual ~SequenceUi() = default;

    // Welcome page with |title| and the welcome |text|.
    virtual bool ShowWelcome(const std::string& title, const std::string& text) = 0;
    // Terms and conditions page: true when accepted.
    virtual bool ShowTerms() = 0;
    // Destination page with |title|: true, with the directory as the user left
    // it in |destDir|, on Continue; false on Back.
    virtual bool ShowDestDir(const std::string& title, std::string& destDir) = 0;
    // Before the installation run into |destDir|, which changes nothing:
    // false when the user chose to stop there (files that the run would
    // replace are in use, and the user cancels).
    virtual bool ReadyToInstall(const std::string& /*destDir*/) { return true; }
    // The installation run into |destDir|: true when it completed.
    virtual bool RunInstallation(const std::string& destDir) = 0;
    // After a completed run: whether files that were in use are replaced
    // only when Windows restarts.
    virtual bool RestartNeeded() const { return false; }
    // The final message of the sequence: no owner, empty caption, OK only.
    virtual void ShowFinalMessage(const std::string& text) = 0;
};

// How the sequence ended.
enum class SequenceEnd {
    kInstalled,  // the installation run completed
    kRunFailed,  // the installation run ended early
    kCancelled,  // the user left the wizard (Cancel on the welcome page, terms declined, or
                 // before the run, for files in use)
};

// Runs the sequence for the product |productName| through |ui|, with the
// welcome text as the medium gave it at start-up (see WelcomeTextShown),
// writing its lines to |log|.
SequenceEnd RunSequence(SequenceUi& ui, InstallLog& log, const std::string& productName, const MediumText& welcome);

// The sequence of setup.exe itself for |line|, on the objects of |setup|: the
// real pages and progress dialog, or, with /S, no window at all; the
// installation is made removable with |uninstaller|. Returns the process
// exit code.
int RunInstallationSequence(const CommandLine& line, const UninstallerSource& uninstaller, SetupObjects& setup);
