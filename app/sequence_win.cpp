// The installation sequence on screen: the wizard pages and the progress
// dialog as modal dialogs, the final message as a message box.
#include "app/sequence.h"

#include "app/setup_app.h"
#include "app/wizard_pages.h"
#include "app/wizard_texts.h"
#include "app/decompress_dlg.h"
#include "fw/message_box.h"

#include <cstdlib>  // __argc, __argv

namespace {

class DialogUi : public SequenceUi {
public:
    bool ShowWelcome(const std::string& title, const std::string& text) override {
        CWelcomeDlg page;
        page.m_strTitle = title;
        page.m_strText = text;
        return page.DoModal() == IDOK;
    }

    bool ShowTerms() override {
        CTermsDlg page;
        return page.DoModal() == IDOK;
    }

    bool ShowDestDir(const std::string& title, std::string& destDir) override {
        CDestDirDlg page;
        page.m_strTitle = title;
        if (page.DoModal() != IDOK) return false;
        destDir = page.m_strDestDir;
        return true;
    }

    bool RunInstallation(const std::string& destDir) override {
        CDlgDecompress dialog;
        dialog.m_strDestDir = destDir;
        return dialog.DoModal() == IDOK;
    }

    void ShowFinalMessage(const std::string& text) override {
        ShowMessageBox(nullptr, text.c_str(), "", MB_OK);
    }
};

}  // namespace

void RunInstallationSequence() {
    DialogUi ui;
    const char* invocationPath = (__argc > 0 && __argv) ? __argv[0] : nullptr;
    RunSequence(ui, GetProductName(), WelcomeTextPath(invocationPath));
}
