#include "fw/message_box.h"

#include "fw/window_text.h"

#include "base/legacy_text.h"

#include <utility>

namespace {
MessageBoxHook& Hook() {
    static MessageBoxHook hook;
    return hook;
}
}  // namespace

int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT style) {
    if (Hook()) return Hook()(owner, text, caption, style);
    // A null caption is the system's own ("Error").
    const std::wstring wideCaption = WindowText(caption);
    return MessageBoxW(owner, WindowText(text).c_str(), caption ? wideCaption.c_str() : nullptr, style);
}

void SetMessageBoxHook(MessageBoxHook hook) { Hook() = std::move(hook); }

std::wstring WindowText(const char* text) {
    if (!text || !*text) return std::wstring();
    std::wstring wide = Wide(text);
    std::string converted;
    if (wide.empty() && LegacyToUtf8(SystemAnsiCodePage(), text, converted)) wide = Wide(converted);
    return wide;
}
