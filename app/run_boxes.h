// The installation run on screen: its boxes as message boxes, its status in
// the progress dialog's status line and bar.
#pragma once

#include "engine/run_ui.h"

#include <windows.h>

class MessageBoxRunUi : public RunUi {
public:
    // |window| is the progress dialog: the owner of the owned boxes and the
    // holder of the status line and the bar. Null before it exists.
    explicit MessageBoxRunUi(HWND window = nullptr) : m_hWnd(window) {}

    bool ShowBox(RunBox kind, const std::string& text) override;
    void ShowStatus(const std::string& text, int position) override;

    HWND m_hWnd;
};
