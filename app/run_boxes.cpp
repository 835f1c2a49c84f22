#include "app/run_boxes.h"

#include "fw/app.h"
#include "fw/message_box.h"
#include "fw/window_text.h"
#include "res/resource.h"

#include <commctrl.h>

bool MessageBoxRunUi::ShowBox(RunBox kind, const std::string& text) {
    switch (kind) {
    case RunBox::kNotice:
        ShowMessageBox(m_hWnd, text.c_str(), AfxGetAppName(), MB_OK);
        return false;
    case RunBox::kQuestion:
        return ShowMessageBox(m_hWnd, text.c_str(), "Error", MB_YESNO) == IDYES;
    case RunBox::kError:
        ShowMessageBox(nullptr, text.c_str(), "Error", MB_ICONERROR);
        return false;
    case RunBox::kDoubt:
        return ShowMessageBox(m_hWnd, text.c_str(), AfxGetAppName(), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) ==
               IDYES;
    case RunBox::kExpander:
        ShowMessageBox(m_hWnd, text.c_str(), nullptr, MB_OK | MB_ICONERROR);
        return false;
    }
    return false;
}

void MessageBoxRunUi::ShowStatus(const std::string& text, int position) {
    SetDlgItemTextW(m_hWnd, IDC_STATUS, WindowText(text.c_str()).c_str());
    SendDlgItemMessageW(m_hWnd, IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}
