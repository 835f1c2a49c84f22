// The progress dialog that shows the installation run, one step per tick of
// a 200 ms timer: for every file entry a check step and an expand step, then
// a final step; it ends with IDOK when the final step ran, with IDCANCEL
// after a failure. The user cannot stop it: no close box, Enter and Esc do
// nothing. The run's boxes are message boxes owned by the dialog or by none.
#pragma once

#include "app/run_boxes.h"
#include "engine/install_run.h"
#include "fw/wnd.h"

#include <memory>
#include <string>

class CDlgDecompress : public CDialog {
public:
    // The run works on |setup|'s log, list and medium.
    explicit CDlgDecompress(SetupObjects& setup, CWnd* pParent = nullptr);

    INT_PTR DoModal() override;
    BOOL DestroyWindow() override;

    UINT_PTR m_nTimer = 0;      // SetTimer's identifier; 0: no timer
    BOOL m_bBusy = FALSE;       // a tick (or OnInitDialog) is being handled
    std::string m_strDestDir;   // the chosen destination (application) directory; set before DoModal
    RunResult m_result;         // how the run ended (kGoingOn while it runs)
    bool m_bRestartNeeded = false;  // once it ended: files in use are replaced when Windows restarts
    const UninstallerSource* m_pUninstaller = nullptr;  // set before DoModal to make the installation removable

protected:
    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    void OnTimer(UINT_PTR nIDEvent);

private:
    // Ends the dialog when |result| says the run is over.
    void Follow(const RunResult& result);

    SetupObjects& m_setup;
    MessageBoxRunUi m_ui;
    std::unique_ptr<InstallRun> m_run;  // made when the dialog opens, with m_strDestDir
};
