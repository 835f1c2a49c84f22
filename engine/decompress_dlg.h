// The progress dialog that performs the installation, one step per tick of
// a 200 ms timer: for every file entry a check step and an expand step, then
// a final step that creates the shortcuts, writes the registry values and
// ends the dialog with IDOK. A failure ends it with IDCANCEL; nothing is
// rolled back. The user cannot stop it: no close box, Enter and Esc do nothing.
#pragma once

#include "fw/wnd.h"

#include <string>

class CDlgDecompress : public CDialog {
public:
    explicit CDlgDecompress(CWnd* pParent = nullptr);

    INT_PTR DoModal() override;
    BOOL DestroyWindow() override;

    UINT_PTR m_nTimer = 0;          // SetTimer's identifier; 0: no timer
    int m_nStep = 0;                // 10*i check entry i, 10*i+1 expand it, 10*n final, -1 done
    BOOL m_bDllsUpgraded = FALSE;   // an older DLL was moved into the backup directory
    BOOL m_bBusy = FALSE;           // a tick (or OnInitDialog) is being handled
    std::string m_strSource;        // source name of the current entry
    std::string m_strDest;          // destination path of the current entry
    std::string m_strDestDir;       // the chosen destination (application) directory; set before DoModal
    std::string m_strTempPath;      // the temporary directory, without a trailing backslash

protected:
    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    void OnTimer(UINT_PTR nIDEvent);

private:
    void CheckTemporaryDirectory();
    void CheckStep(int i);
    void ExpandStep();
    void FinalStep();
    void WriteRegistryEntries();
};
