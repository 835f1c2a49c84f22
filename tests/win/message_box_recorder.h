// Records every message box the code under test shows, and answers it, while
// it lives; the real MessageBoxA is back afterwards.
#pragma once

#include "fw/message_box.h"

#include <string>
#include <vector>

struct RecordedBox {
    HWND owner;
    std::string text;
    std::string caption;  // "(none)" for a null caption
    UINT style;
};

class MessageBoxRecorder {
public:
    explicit MessageBoxRecorder(int answer = IDOK) {
        SetMessageBoxHook([this, answer](HWND owner, const char* text, const char* caption, UINT style) {
            m_boxes.push_back({owner, text ? text : "", caption ? caption : "(none)", style});
            return answer;
        });
    }
    ~MessageBoxRecorder() { SetMessageBoxHook(nullptr); }
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    const std::vector<RecordedBox>& Boxes() const { return m_boxes; }

private:
    std::vector<RecordedBox> m_boxes;
};
