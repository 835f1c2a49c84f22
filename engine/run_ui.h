// What the installation run asks of whoever watches it. The run itself never
// shows a window: it says what to show through this interface. The progress
// dialog shows message boxes, a status line and a bar; an installation
// without windows writes the boxes' texts into the log instead.
#pragma once

#include <string>

// The kinds of box the run raises; each kind has one look on screen.
enum class RunBox {
    kNotice,    // owned by the progress window, the application's name as caption, OK
    kQuestion,  // owned by the progress window, caption "Error", Yes and No (Yes is the default button)
    kError,     // a failure that ends the run: no owner, caption "Error", the error icon
    kExpander,  // the expander's own: owned by the progress window, no caption of its own, the error icon
    kDoubt,     // a question whose safe answer is No: the application's name as caption, Yes and No (No is the default)
};

class RunUi {
public:
    virtual ~RunUi() = default;

    // Shows |text| as a box of |kind| and returns when it is closed. True
    // when a question (kQuestion, kDoubt) was answered Yes; the result of
    // other boxes means nothing.
    virtual bool ShowBox(RunBox kind, const std::string& text) = 0;

    // The status line and the position of the progress bar.
    virtual void ShowStatus(const std::string& text, int position) = 0;
};
