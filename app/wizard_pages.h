// The three wizard pages. Each is a modal dialog on its own template, made
// with no parent window, that only ends itself with IDOK or IDCANCEL; what
// comes next is the installation sequence's decision. The pages log nothing.
#pragma once

#include "fw/wnd.h"

#include <string>

// Welcome page (template 102): the product's title, the welcome text, the
// application icon, and a question before Cancel, Esc or the close box end it.
class CWelcomeDlg : public CDialog {
public:
    CWelcomeDlg();

    std::string m_strTitle;  // window title; set before DoModal
    std::string m_strText;   // the welcome text; set before DoModal
    HICON m_hIcon;           // the application icon (resource 128)

protected:
    BOOL OnInitDialog() override;
    void OnCancel() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    // Draws the icon in the middle of the minimised page; false when the page
    // is not minimised and paints as usual.
    bool PaintMinimised();
};

// Terms and conditions page (template 103): shows the medium's "terms.txt"
// as read at start-up (TermsTextShown). I Agree ends it with IDOK, Cancel and
// Esc with IDCANCEL, without a question.
class CTermsDlg : public CDialog {
public:
    CTermsDlg();

    std::string m_strText;  // the terms as shown; set before DoModal

protected:
    BOOL OnInitDialog() override;
};

// Destination page (template 105): opens with the default destination
// directory each time it is shown; Continue (or Enter) keeps the edit box's text exactly as typed when
// it is a full path, and otherwise shows a box that says what is expected
// and keeps the page open; Back (or Esc) ends the page with IDCANCEL and
// leaves m_strDestDir empty.
class CDestDirDlg : public CDialog {
public:
    CDestDirDlg();

    std::string m_strDestDir;         // the chosen directory; set by Continue
    std::string m_strTitle;           // window title; set before DoModal
    std::string m_strDefaultDestDir;  // what the edit box opens with; set before DoModal
    std::string m_strFieldSeparators; // characters the directory may not hold (DestDirRefusal)

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
};
