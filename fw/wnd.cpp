#include "fw/wnd.h"

#include "fw/app.h"
#include "fw/message_box.h"
#include "fw/window_text.h"

BOOL CWnd::DestroyWindow() {
    if (!m_hWnd) return FALSE;
    BOOL ok = ::DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
    return ok;
}

int CWnd::MessageBox(const char* text, const char* caption, UINT type) {
    return ShowMessageBox(m_hWnd, text, caption ? caption : AfxGetAppName(), type);
}

void CWnd::SetWindowText(const char* text) { ::SetWindowTextW(m_hWnd, WindowText(text).c_str()); }

void CWnd::SetDlgItemText(int id, const char* text) { ::SetDlgItemTextW(m_hWnd, id, WindowText(text).c_str()); }

std::string CWnd::GetDlgItemText(int id) const {
    HWND item = GetDlgItem(m_hWnd, id);
    int length = GetWindowTextLengthW(item);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int got = GetWindowTextW(item, &text[0], length + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return Narrow(text);
}

LRESULT CWnd::SendDlgItemMessage(int id, UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendDlgItemMessageW(m_hWnd, id, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    m_bDefault = true;
    return 0;
}

namespace {
// Dialogs open in the middle of the work area, as users expect of a setup
// program, rather than at the template's corner.
void CenterOnScreen(HWND hWnd) {
    RECT window, work;
    GetWindowRect(hWnd, &window);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int x = work.left + ((work.right - work.left) - (window.right - window.left)) / 2;
    int y = work.top + ((work.bottom - work.top) - (window.bottom - window.top)) / 2;
    SetWindowPos(hWnd, nullptr, x > work.left ? x : work.left, y > work.top ? y : work.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
}  // namespace

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

INT_PTR CDialog::DoModal() {
    HWND parent = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    m_bEndModal = false;
    m_nModalResult = -1;
    if (parent) EnableWindow(parent, FALSE);
    HWND hWnd = CreateDialogParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(m_nIDTemplate), parent, DialogProc,
                                   reinterpret_cast<LPARAM>(this));
    if (hWnd) {
        if (!m_bEndModal && !(GetWindowLongW(hWnd, GWL_STYLE) & WS_VISIBLE)) ShowWindow(hWnd, SW_SHOW);
        MSG msg;
        while (!m_bEndModal) {
            BOOL got = GetMessageW(&msg, nullptr, 0, 0);
            if (got == 0) {  // WM_QUIT: end the loop and leave the message for the next one
                PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            if (got == -1) break;
            if (!IsDialogMessageW(hWnd, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
    }
    if (parent) {
        EnableWindow(parent, TRUE);
        SetActiveWindow(parent);
    }
    if (hWnd) DestroyWindow();
    return hWnd ? m_nModalResult : -1;
}

void CDialog::EndDialog(int nResult) {
    m_nModalResult = nResult;
    m_bEndModal = true;
    if (m_hWnd) ShowWindow(m_hWnd, SW_HIDE);
}

bool CDialog::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialog* self;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrW(hWnd, DWLP_USER, lParam);
        self->m_hWnd = hWnd;
        CenterOnScreen(hWnd);
        return self->OnInitDialog();
    }
    self = reinterpret_cast<CDialog*>(GetWindowLongPtrW(hWnd, DWLP_USER));
    if (!self) return FALSE;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hWnd, DWLP_USER, 0);
        return FALSE;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IDOK) {
            self->OnOK();
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            self->OnCancel();
            return TRUE;
        }
    }
    bool savedDefault = self->m_bDefault;
    self->m_bDefault = false;
    LRESULT result = 0;
    bool handled = self->OnMessage(message, wParam, lParam, result) && !self->m_bDefault;
    self->m_bDefault = savedDefault;
    if (!handled) return FALSE;
    // These messages take their result straight from the dialog procedure.
    if (message == WM_QUERYDRAGICON || message == WM_CTLCOLORSTATIC || message == WM_CTLCOLOREDIT ||
        message == WM_CTLCOLORDLG || message == WM_CTLCOLORBTN)
        return static_cast<INT_PTR>(result);
    SetWindowLongPtrW(hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}
