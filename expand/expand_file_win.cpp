#include "expand/expand_file.h"

#include "expand/lzhuf_file.h"
#include "fw/message_box.h"

HWND g_hWndProgress = nullptr;

int ExpandFile(const char* source, const char* dest) {
    const ExpandResult result = ExpandLzhufFile(source, dest);
    if (result.status == ExpandStatus::kOk)
        return 0;
    ShowMessageBox(g_hWndProgress, ExpandFailureText(result).c_str(), nullptr, MB_OK | MB_ICONERROR);
    return 1;
}
