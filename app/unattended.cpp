#include "app/unattended.h"


#include <algorithm>
#include <utility>

namespace {

// A box's text as one line of |log|.
void LogText(InstallLog& log, const std::string& text) {
    std::string line = text;
    std::replace(line.begin(), line.end(), '\n', ' ');
    WriteLog(log, "%s", line.c_str());
}

}  // namespace

UnattendedUi::UnattendedUi(SetupObjects& setup, std::string destDir)
    : m_setup(setup), m_strDestDir(std::move(destDir)) {}

bool UnattendedUi::ShowWelcome(const std::string&, const std::string&) { return true; }

bool UnattendedUi::ShowTerms() {
    WriteLog(m_setup.log, "Unattended installation (/S): the terms and conditions count as accepted by whoever started it");
    return true;
}

bool UnattendedUi::ShowDestDir(const std::string&, std::string& destDir) {
    destDir = m_strDestDir;
    return true;
}

bool UnattendedUi::RunInstallation(const std::string& destDir) {
    InstallRun run(*this, m_setup, destDir);
    if (m_pUninstaller) run.SetUninstaller(*m_pUninstaller);
    // No one is there to decide what to do about a half-done installation:
    // one that fails leaves what was there before it.
    run.UndoOnFailure();
    run.Open();
    m_lastRun = run.Prepare(nullptr);
    // Without the progress dialog's pace the steps follow each other at once:
    // the payloads are decoded ahead on every processor meanwhile.
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    run.DecodeAhead(system.dwNumberOfProcessors);
    while (!run.Over()) m_lastRun = run.Step();
    m_bRestartNeeded = run.RestartNeeded();
    run.Close();
    return m_lastRun.what == RunOutcome::kCompleted;
}

void UnattendedUi::ShowFinalMessage(const std::string& text) { LogText(m_setup.log, text); }

bool UnattendedUi::ShowBox(RunBox kind, const std::string& text) {
    switch (kind) {
    case RunBox::kQuestion:
        LogText(m_setup.log, "Question: " + text + " Answered Yes, the default button (unattended)");
        return true;
    case RunBox::kDoubt:
        LogText(m_setup.log, "Question: " + text + " Answered No, the default button (unattended)");
        return false;
    default:
        LogText(m_setup.log, text);
        return false;
    }
}

void UnattendedUi::ShowStatus(const std::string&, int) {}
