#include "app/unattended.h"

#include "base/install_log.h"

#include <algorithm>
#include <utility>

namespace {

// A box's text as one log line.
void LogText(const std::string& text) {
    std::string line = text;
    std::replace(line.begin(), line.end(), '\n', ' ');
    WriteLog(theLog, "%s", line.c_str());
}

}  // namespace

UnattendedUi::UnattendedUi(std::string destDir) : m_strDestDir(std::move(destDir)) {}

bool UnattendedUi::ShowWelcome(const std::string&, const std::string&) { return true; }

bool UnattendedUi::ShowTerms() {
    WriteLog(theLog, "Unattended installation (/S): the terms and conditions count as accepted by whoever started it");
    return true;
}

bool UnattendedUi::ShowDestDir(const std::string&, std::string& destDir) {
    destDir = m_strDestDir;
    return true;
}

bool UnattendedUi::RunInstallation(const std::string& destDir) {
    InstallRun run(*this, destDir, theMedium);
    if (m_pUninstaller) run.SetUninstaller(*m_pUninstaller);
    run.Open();
    m_lastRun = run.Prepare(nullptr);
    // Without the progress dialog's pace the steps follow each other at once:
    // the payloads are decoded ahead on every processor meanwhile.
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    run.DecodeAhead(system.dwNumberOfProcessors);
    while (!run.Over()) m_lastRun = run.Step();
    run.Close();
    return m_lastRun.what == RunOutcome::kCompleted;
}

void UnattendedUi::ShowFinalMessage(const std::string& text) { LogText(text); }

bool UnattendedUi::ShowBox(RunBox kind, const std::string& text) {
    switch (kind) {
    case RunBox::kQuestion:
        LogText("Question: " + text + " Answered Yes, the default button (unattended)");
        return true;
    case RunBox::kDoubt:
        LogText("Question: " + text + " Answered No, the default button (unattended)");
        return false;
    default:
        LogText(text);
        return false;
    }
}

void UnattendedUi::ShowStatus(const std::string&, int) {}
