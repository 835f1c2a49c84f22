#include "fw/message_box.h"

#include <utility>

namespace {
MessageBoxHook& Hook() {
    static MessageBoxHook hook;
    return hook;
}
}  // namespace

int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT style) {
    if (Hook()) return Hook()(owner, text, caption, style);
    return MessageBoxA(owner, text, caption, style);
}

void SetMessageBoxHook(MessageBoxHook hook) { Hook() = std::move(hook); }
