// The installation sequence on screen: the wizard pages and the progress
// dialog as modal dialogs, the final message as a message box; or, with /S,
// without any window.
#include "app/sequence.h"

#include "app/command_line.h"
#include "app/decompress_dlg.h"
#include "app/setup_app.h"
#include "app/unattended.h"
#include "app/wizard_pages.h"
#include "app/wizard_texts.h"
#include "base/system_info.h"
#include "engine/files_in_use.h"
#include "engine/private_folder.h"
#include "engine/setup_objects.h"
#include "fw/app.h"
#include "fw/message_box.h"

namespace {

class DialogUi : public SequenceUi {
public:
    explicit DialogUi(SetupObjects& setup) : m_setup(setup) {}

    bool ShowWelcome(const std::string& title, const std::string& text) override {
        CWelcomeDlg page;
        page.m_strTitle = title;
        page.m_strText = text;
        return page.DoModal() == IDOK;
    }

    bool ShowTerms() override {
        CTermsDlg page;
        page.m_strText = TermsTextShown(m_setup.medium.Terms());
        return page.DoModal() == IDOK;
    }

    bool ShowDestDir(const std::string& title, std::string& destDir) override {
        CDestDirDlg page;
        page.m_strTitle = title;
        page.m_strDefaultDestDir = m_setup.DefaultDestDir;
        page.m_strFieldSeparators = m_setup.list.m_appDirSeparators;
        if (page.DoModal() != IDOK) return false;
        destDir = page.m_strDestDir;
        return true;
    }

    // Files of the list that are in use: one box names the programs that
    // hold them (or the files), and the user closes them and tries again,
    // goes on (they are replaced when Windows restarts) or cancels.
    bool ReadyToInstall(const std::string& destDir) override {
        for (;;) {
            const std::vector<std::string> inUse = FindFilesInUse(m_setup.medium, destDir);
            if (inUse.empty()) return true;
            const std::string text = FilesInUseText(ProgramsUsing(inUse), inUse);
            switch (ShowMessageBox(nullptr, text.c_str(), AfxGetAppName(),
                                   MB_CANCELTRYCONTINUE | MB_ICONWARNING | MB_DEFBUTTON2)) {
            case IDTRYAGAIN: continue;
            case IDCONTINUE: return true;
            default: return false;
            }
        }
    }

    bool RunInstallation(const std::string& destDir) override {
        CDlgDecompress dialog(m_setup);
        dialog.m_strDestDir = destDir;
        dialog.m_pUninstaller = m_pUninstaller;
        const bool completed = dialog.DoModal() == IDOK;
        m_lastRun = dialog.m_result;
        m_bRestartNeeded = dialog.m_bRestartNeeded;
        return completed;
    }

    bool RestartNeeded() const override { return m_bRestartNeeded; }

    void ShowFinalMessage(const std::string& text) override {
        ShowMessageBox(nullptr, text.c_str(), "", MB_OK);
    }

    RunResult m_lastRun;                                // how the installation run ended
    const UninstallerSource* m_pUninstaller = nullptr;  // makes the installation removable

private:
    SetupObjects& m_setup;
    bool m_bRestartNeeded = false;  // the run left files in use to be replaced at restart
};

int ExitCodeOf(SequenceEnd end, const RunResult& run, bool restartNeeded) {
    switch (end) {
    case SequenceEnd::kInstalled: return restartNeeded ? kExitRestartNeeded : kExitInstalled;
    case SequenceEnd::kCancelled: return kExitCancelled;
    case SequenceEnd::kRunFailed: break;
    }
    // The file list that loaded at start-up can no longer be loaded, or a
    // payload is damaged: the distribution is at fault, not the installation.
    return run.what == RunOutcome::kListFailed || run.what == RunOutcome::kDamaged ? kExitIncomplete : kExitFailed;
}

}  // namespace

int RunInstallationSequence(const CommandLine& line, const UninstallerSource& uninstaller, SetupObjects& setup) {
    if (line.unattended) {
        UnattendedUi ui(setup, setup.DefaultDestDir);
        ui.m_pUninstaller = &uninstaller;
        const SequenceEnd end = RunSequence(ui, setup.log, line.productName, setup.medium.Welcome());
        const int code = ExitCodeOf(end, ui.m_lastRun, ui.RestartNeeded());
        // Lines still waiting in memory: SETUP.LOG could not be opened in the
        // destination (which may not exist). Without a window they are all
        // there is to say why, so they go to the temporary directory as
        // SETUP-<8 hexadecimal digits>.LOG, under a name nothing had before.
        if (!setup.log.Pending().empty()) {
            std::string path;
            setup.log.UseLogFile(CreateFreshFile(TemporaryDirectory(), "SETUP-", ".LOG", path));
        }
        return code;
    }
    DialogUi ui(setup);
    ui.m_pUninstaller = &uninstaller;
    const SequenceEnd end = RunSequence(ui, setup.log, line.productName, setup.medium.Welcome());
    return ExitCodeOf(end, ui.m_lastRun, ui.RestartNeeded());
}
