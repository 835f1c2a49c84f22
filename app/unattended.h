// The installation without any window (/S): the sequence's pages are
// answered as their default buttons answer them, and the run's boxes become
// log lines.
#pragma once

#include "app/sequence.h"
#include "engine/install_run.h"

#include <string>

class UnattendedUi : public SequenceUi, public RunUi {
public:
    // |destDir|: where to install (the /D= directory or the list's default);
    // |setup|: what the run works on, and the log the boxes are written to.
    UnattendedUi(SetupObjects& setup, std::string destDir);

    // The pages: Continue, I Agree (whoever started the installation accepts
    // the terms; the log says so), Continue with |destDir|.
    bool ShowWelcome(const std::string& title, const std::string& text) override;
    bool ShowTerms() override;
    bool ShowDestDir(const std::string& title, std::string& destDir) override;
    // The run's steps one after another, with no pause between them; a run
    // that fails undoes its changes (InstallRun::UndoOnFailure).
    bool RunInstallation(const std::string& destDir) override;
    // Files that were in use are replaced at restart; nothing is asked.
    bool RestartNeeded() const override { return m_bRestartNeeded; }
    // The final message and every box of the run: one log line with the
    // text, line breaks as blanks. A question is answered Yes, its default
    // button, and the line records the question and the answer.
    void ShowFinalMessage(const std::string& text) override;
    bool ShowBox(RunBox kind, const std::string& text) override;
    void ShowStatus(const std::string& text, int position) override;

    RunResult m_lastRun;                                // how the installation run ended
    const UninstallerSource* m_pUninstaller = nullptr;  // set to make the installation removable

private:
    SetupObjects& m_setup;
    std::string m_strDestDir;
    bool m_bRestartNeeded = false;  // the run left files in use to be replaced at restart
};
