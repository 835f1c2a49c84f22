#include "app/decompress_dlg.h"

#include "engine/system_library.h"
#include "res/resource.h"

#include <commctrl.h>

namespace {

constexpr UINT kTimerId = 1;
constexpr UINT kTickMs = 200;

}  // namespace

CDlgDecompress::CDlgDecompress(SetupObjects& setup, CWnd* pParent) : CDialog(IDD_DECOMPRESS, pParent), m_setup(setup) {}

INT_PTR CDlgDecompress::DoModal() {
    // The progress bar is a common control: its class must exist before the
    // template is made. comctl32 is loaded here, not imported: loaded with
    // the program, before it has narrowed the DLL search, it would bring the
    // DLLs it loads itself (uxtheme) from the program's folder.
    static const SystemLibrary comctl32("comctl32.dll", true);
    using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    if (const InitFn init = comctl32.Function<InitFn>("InitCommonControlsEx")) init(&controls);
    return CDialog::DoModal();
}

BOOL CDlgDecompress::OnInitDialog() {
    CDialog::OnInitDialog();
    // The boxes below run message loops that deliver ticks of the timer
    // started here; being busy until the end turns them away.
    m_bBusy = TRUE;
    m_nTimer = SetTimer(m_hWnd, kTimerId, kTickMs, nullptr);
    m_ui.m_hWnd = m_hWnd;
    m_run.reset(new InstallRun(m_ui, m_setup, m_strDestDir));
    if (m_pUninstaller) m_run->SetUninstaller(*m_pUninstaller);
    m_run->Open();

    if (!m_nTimer) {
        // Without ticks nothing would ever happen, nor end the dialog.
        MessageBox("Failed to start the installation timer, cannot continue installation", "Error",
                   MB_OK | MB_ICONERROR);
        EndDialog(IDCANCEL);
    } else {
        Follow(m_run->Prepare(m_hWnd));
    }

    SendDlgItemMessage(IDC_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, static_cast<WORD>(m_run->FileCount() - 1)));
    m_bBusy = FALSE;
    return TRUE;
}

bool CDlgDecompress::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    if (message != WM_TIMER) return false;
    OnTimer(wParam);
    result = 0;
    return true;
}

void CDlgDecompress::OnTimer(UINT_PTR) {
    if (!m_bBusy) {
        m_bBusy = TRUE;
        Follow(m_run->Step());
        m_bBusy = FALSE;
    }
    Default();
}

void CDlgDecompress::Follow(const RunResult& result) {
    if (result.what == RunOutcome::kGoingOn) return;
    m_result = result;
    m_bRestartNeeded = m_run->RestartNeeded();
    EndDialog(result.what == RunOutcome::kCompleted ? IDOK : IDCANCEL);
}

BOOL CDlgDecompress::DestroyWindow() {
    if (m_nTimer) KillTimer(m_hWnd, m_nTimer);
    if (m_run) m_run->Close();
    return CDialog::DestroyWindow();
}
