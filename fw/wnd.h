// Windows and modal dialogs with virtual handlers, over plain Win32.
#pragma once

#include <windows.h>

#include <string>

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // Destroys the window. TRUE on success.
    virtual BOOL DestroyWindow();

    // A modal box owned by this window; with no caption it carries the
    // application's display name.
    int MessageBox(const char* text, const char* caption = nullptr, UINT type = MB_OK);

    void SetWindowText(const char* text);
    void SetDlgItemText(int id, const char* text);
    std::string GetDlgItemText(int id) const;
    LRESULT SendDlgItemMessage(int id, UINT message, WPARAM wParam, LPARAM lParam) const;

    HWND m_hWnd = nullptr;

protected:
    // Hands the message being handled on to the default processing.
    LRESULT Default();

    bool m_bDefault = false;  // set by Default() during the current message
};

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

    // Creates the dialog from its template, runs its modal loop until
    // EndDialog, destroys it with DestroyWindow and returns the result given
    // to EndDialog: -1 when the dialog cannot be created.
    virtual INT_PTR DoModal();

    // Called once the controls exist; TRUE lets the system set the focus.
    virtual BOOL OnInitDialog() { return TRUE; }
    // Enter or the IDOK button.
    virtual void OnOK() { EndDialog(IDOK); }
    // Esc, the close box or the IDCANCEL button.
    virtual void OnCancel() { EndDialog(IDCANCEL); }

    // Ends the modal loop with |nResult| once the current message is handled.
    void EndDialog(int nResult);

protected:
    // Messages other than WM_INITDIALOG and the IDOK/IDCANCEL commands. Return
    // true and set |result| when handled.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    bool m_bEndModal = false;
    INT_PTR m_nModalResult = -1;
};
