// Drives setup.exe from a second process, the way a user would: starts it in
// a prepared folder, watches the top-level windows of that process, records
// each window and message box once (class, caption, texts, buttons, icon,
// owner) and answers it. It waits for what the program does (a window shown,
// closed, its thread back in its message loop, the process's end), never for
// a fixed time; every wait is bounded, and running out of time is a failure,
// never the normal path. A driver that is destroyed
// while setup.exe still runs ends it, so no scenario can hang.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

struct SeenControl {
    int id = 0;
    std::string className;
    std::string text;
    DWORD style = 0;
};

struct SeenWindow {
    HWND hWnd = nullptr;
    std::string className;
    std::string caption;
    std::string text;  // a message box's text (its static 0xFFFF); empty for dialogs
    std::vector<SeenControl> controls;
    std::vector<std::string> buttons;  // texts of the push buttons, in z order
    bool hasIcon = false;              // a static icon control is present
    bool errorIcon = false;            // that icon is the system's error icon
    HWND owner = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;

    // A message box: a dialog whose text is its static 0xFFFF and that has no
    // edit control (the pages' own static texts and icons also carry the id
    // 0xFFFF of "-1" in their templates, but every page has an edit box).
    bool IsMessageBox() const;
    const SeenControl* GetControl(int id) const;
    std::string Describe() const;
};

class SetupProcess {
public:
    SetupProcess() = default;
    ~SetupProcess();
    SetupProcess(const SetupProcess&) = delete;
    SetupProcess& operator=(const SetupProcess&) = delete;

    // Starts |exePath| with the command line tail |arguments| (may be empty)
    // in |workDir|, after the process started before has ended. Windows of
    // the processes it starts count as its own. False when the process
    // cannot be started.
    bool Start(const std::string& exePath, const std::string& arguments, const std::string& workDir);

    // Waits up to |timeoutMs| for a visible top-level window of the process
    // that has not been returned before. Nothing when the time runs out or the
    // process ends first.
    std::optional<SeenWindow> NextWindow(DWORD timeoutMs = 20000);

    // Waits until |window| is closed (destroyed), or the process has ended;
    // false when it is still there after |timeoutMs|.
    bool WaitClosed(const SeenWindow& window, DWORD timeoutMs = 20000);
    // Waits until the thread of |window| has handled what it was given and
    // waits for input in its message loop, with any box it opened shown;
    // false when the window is gone or does not answer within |timeoutMs|.
    bool WaitSettled(const SeenWindow& window, DWORD timeoutMs = 20000);

    // Waits for the process to end; false when it still runs after |timeoutMs|.
    bool WaitExit(DWORD timeoutMs = 20000);
    // Ends the process at once, as the task manager would; true once it has ended.
    bool Kill();
    DWORD ExitCode() const;
    // Milliseconds from the creation of the ended process to its end.
    double LifetimeMs() const;

    // Presses the button |id| of |window| (IDOK, IDYES, IDCANCEL, ...).
    void Click(const SeenWindow& window, int id);
    // Sets the text of the control |id| of |window|.
    void SetText(const SeenWindow& window, int id, const std::string& text);
    // Sends a key press (VK_RETURN, VK_ESCAPE) to |window| as if typed.
    void PressKey(const SeenWindow& window, WORD key);
    // Re-reads a window's current texts (e.g. an edit box filled after creation).
    std::string ControlText(const SeenWindow& window, int id) const;

    // Everything seen and done so far, one line each; printed when a scenario fails.
    const std::string& Transcript() const { return m_transcript; }
    void Note(const std::string& line);

private:
    bool Settle(HWND hWnd, DWORD timeoutMs);

    PROCESS_INFORMATION m_process = {};
    std::vector<HWND> m_seen;
    std::string m_transcript;
};

// Builds a message for a failed expectation about a window.
std::string DescribeAll(const std::vector<SeenWindow>& windows);

// Saves what the screen (the whole display) shows now as a PNG file at
// |path|, a Windows path or, under Wine, a Unix one. False on failure.
bool SaveScreenshot(const std::string& path);
