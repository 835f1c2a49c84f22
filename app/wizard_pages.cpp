#include "app/wizard_pages.h"

#include "app/command_line.h"
#include "fw/app.h"
#include "res/resource.h"

CWelcomeDlg::CWelcomeDlg()
    : CDialog(IDD_SETUP_DIALOG),
      m_hIcon(LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME))) {}

// The icon comes from the program's resources and is shared: nothing to free.

BOOL CWelcomeDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    SetWindowText(m_strTitle.c_str());
    SetDlgItemText(IDC_WELCOME_TEXT, m_strText.c_str());
    return TRUE;  // the focus goes to the first tab stop, Continue
}

void CWelcomeDlg::OnCancel() {
    int answer = MessageBox("If you cancel you will NOT install the program.\nDo you really want to cancel?",
                            "WARNING", MB_YESNO);
    if (answer == IDYES) CDialog::OnCancel();
}

bool CWelcomeDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_SYSCOMMAND:
        // The system menu has only the system's own commands; the close box
        // arrives as IDCANCEL and so asks the cancel question.
        return false;
    case WM_PAINT:
        return PaintMinimised();
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<LRESULT>(m_hIcon);
        return true;
    default:
        return CDialog::OnMessage(message, wParam, lParam, result);
    }
}

bool CWelcomeDlg::PaintMinimised() {
    if (!IsIconic(m_hWnd)) return false;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hWnd, &paint);
    ::SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    int cxIcon = GetSystemMetrics(SM_CXICON);
    int cyIcon = GetSystemMetrics(SM_CYICON);
    RECT rect;
    GetClientRect(m_hWnd, &rect);
    int x = (rect.right - rect.left - cxIcon + 1) / 2;
    int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
    DrawIcon(dc, x, y, m_hIcon);
    EndPaint(m_hWnd, &paint);
    return true;
}

CTermsDlg::CTermsDlg() : CDialog(IDD_TERMS) {}

BOOL CTermsDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetDlgItemText(IDC_TERMS_TEXT, m_strText.c_str());
    return TRUE;
}

CDestDirDlg::CDestDirDlg() : CDialog(IDD_DESTDIR) {}

BOOL CDestDirDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetWindowText(m_strTitle.c_str());
    SetDlgItemText(IDC_DEST_DIR, m_strDefaultDestDir.c_str());
    return TRUE;
}

void CDestDirDlg::OnOK() {
    // As typed, no trimming; the installation run creates it. A directory
    // that is not a full path would land wherever the working directory
    // happens to be, and one holding a field separator of the list would
    // split its lines elsewhere: the page says what it needs and stays open.
    const std::string typed = GetDlgItemText(IDC_DEST_DIR);
    const std::string refusal = DestDirRefusal(typed, m_strFieldSeparators);
    if (!refusal.empty()) {
        MessageBox(refusal.c_str(), "Error", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    m_strDestDir = typed;
    CDialog::OnOK();
}
