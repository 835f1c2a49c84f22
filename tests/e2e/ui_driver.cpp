#include "tests/e2e/ui_driver.h"

#include "tests/e2e/png_file.h"

#include "base/utf8.h"
#include "base/wide_text.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>

namespace {

std::string WindowText(HWND hWnd) {
    char text[4096] = "";
    GetWindowTextA(hWnd, text, sizeof text);
    return text;
}

std::string ClassName(HWND hWnd) {
    char name[256] = "";
    GetClassNameA(hWnd, name, sizeof name);
    return name;
}

struct Enum {
    std::vector<DWORD> pids;  // the process and those it started (the uninstaller runs a copy of itself)
    std::vector<HWND> windows;
};

std::vector<DWORD> ProcessAndChildren(DWORD pid) {
    std::vector<DWORD> pids{pid};
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return pids;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (entry.th32ParentProcessID == pid) pids.push_back(entry.th32ProcessID);
    CloseHandle(snapshot);
    return pids;
}

BOOL CALLBACK CollectTopLevel(HWND hWnd, LPARAM lParam) {
    Enum* e = reinterpret_cast<Enum*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hWnd, &pid);
    if (std::find(e->pids.begin(), e->pids.end(), pid) != e->pids.end() && IsWindowVisible(hWnd))
        e->windows.push_back(hWnd);
    return TRUE;
}

// 32 x 32 pixels of a picture: |source| a window to copy from the screen, or
// else |icon| drawn on the dialog background colour.
std::vector<DWORD> Pixels32(HWND source, HICON icon) {
    std::vector<DWORD> pixels(32 * 32);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = 32;
    bi.bmiHeader.biHeight = -32;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    if (source) {
        HDC from = GetDC(source);
        BitBlt(dc, 0, 0, 32, 32, from, 0, 0, SRCCOPY);
        ReleaseDC(source, from);
    } else {
        RECT all = {0, 0, 32, 32};
        FillRect(dc, &all, GetSysColorBrush(COLOR_3DFACE));
        DrawIconEx(dc, 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL);
    }
    GdiFlush();
    if (bits) std::copy(static_cast<DWORD*>(bits), static_cast<DWORD*>(bits) + 32 * 32, pixels.begin());
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// Which of the system's message box icons an icon control shows, judged from
// the screen: icon handles of another process cannot be compared with ours.
int ClosestSystemIcon(HWND control) {
    std::vector<DWORD> shown = Pixels32(control, nullptr);
    int best = 0;
    size_t bestDiff = shown.size() + 1;
    for (int id : {32513, 32514, 32515, 32516}) {  // hand, question, exclamation, asterisk
        std::vector<DWORD> own = Pixels32(nullptr, LoadIconA(nullptr, MAKEINTRESOURCEA(id)));
        size_t diff = 0;
        for (size_t i = 0; i < own.size(); ++i) diff += (shown[i] & 0xFFFFFF) != (own[i] & 0xFFFFFF);
        if (diff < bestDiff) {
            bestDiff = diff;
            best = id;
        }
    }
    return best;
}

BOOL CALLBACK CollectChild(HWND hWnd, LPARAM lParam) {
    SeenWindow* w = reinterpret_cast<SeenWindow*>(lParam);
    SeenControl c;
    c.id = GetDlgCtrlID(hWnd) & 0xFFFF;
    c.className = ClassName(hWnd);
    c.style = static_cast<DWORD>(GetWindowLongA(hWnd, GWL_STYLE));
    if (lstrcmpiA(c.className.c_str(), "Edit") == 0) {
        int length = static_cast<int>(SendMessageA(hWnd, WM_GETTEXTLENGTH, 0, 0));
        std::string text(static_cast<size_t>(length) + 1, '\0');
        SendMessageA(hWnd, WM_GETTEXT, static_cast<WPARAM>(length + 1), reinterpret_cast<LPARAM>(&text[0]));
        text.resize(static_cast<size_t>(length));
        c.text = text;
    } else {
        c.text = WindowText(hWnd);
    }
    if (lstrcmpiA(c.className.c_str(), "Button") == 0 && (c.style & 0x0F) <= BS_DEFPUSHBUTTON)
        w->buttons.push_back(c.text);
    if (lstrcmpiA(c.className.c_str(), "Static") == 0 && (c.style & SS_TYPEMASK) == SS_ICON) {
        HICON icon = reinterpret_cast<HICON>(SendMessageA(hWnd, STM_GETICON, 0, 0));
        if (icon) w->hasIcon = true;
        if (icon) w->errorIcon = ClosestSystemIcon(hWnd) == 32513;  // IDI_HAND
    }
    w->controls.push_back(c);
    return TRUE;
}

}  // namespace

bool SeenWindow::IsMessageBox() const {
    for (const SeenControl& c : controls)
        if (lstrcmpiA(c.className.c_str(), "Edit") == 0) return false;
    const SeenControl* text = GetControl(0xFFFF);
    return text && (text->style & SS_TYPEMASK) != SS_ICON;
}

const SeenControl* SeenWindow::GetControl(int id) const {
    for (const SeenControl& c : controls)
        if (c.id == id) return &c;
    return nullptr;
}

std::string SeenWindow::Describe() const {
    std::string d = "[" + className + "] \"" + caption + "\"";
    if (!text.empty()) d += " text=\"" + text + "\"";
    d += " buttons={";
    for (size_t i = 0; i < buttons.size(); ++i) d += (i ? "," : "") + buttons[i];
    d += "}";
    if (hasIcon) d += errorIcon ? " icon=error" : " icon";
    if (owner) d += " owned";
    for (const SeenControl& c : controls)
        if (c.className == "Edit" || c.className == "EDIT") d += " edit" + std::to_string(c.id) + "=\"" + c.text + "\"";
    return d;
}

std::string DescribeAll(const std::vector<SeenWindow>& windows) {
    std::string all;
    for (const SeenWindow& w : windows) all += w.Describe() + "\n";
    return all;
}

bool SetupProcess::Kill() {
    return m_process.hProcess && TerminateProcess(m_process.hProcess, 99) &&
           WaitForSingleObject(m_process.hProcess, 20000) == WAIT_OBJECT_0;
}

SetupProcess::~SetupProcess() {
    if (m_process.hProcess) {
        if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(m_process.hProcess, 99);
            WaitForSingleObject(m_process.hProcess, 5000);
        }
        CloseHandle(m_process.hProcess);
        CloseHandle(m_process.hThread);
    }
}

namespace {

// A text of a scenario for the wide calls: UTF-8 (names beyond the code
// page), else the code page's bytes as before.
std::wstring ScenarioText(const std::string& text) {
    if (IsUtf8(text)) return Wide(text);
    std::wstring wide(text.size() + 1, L'\0');
    const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], int(wide.size()));
    wide.resize(length > 0 ? size_t(length) - 1 : 0);
    return wide;
}

}  // namespace

bool SetupProcess::Start(const std::string& exePath, const std::string& arguments, const std::string& workDir) {
    std::string commandLine = "\"" + exePath + "\"";
    if (!arguments.empty()) commandLine += " " + arguments;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    std::wstring buffer = ScenarioText(commandLine);
    Note("start: " + commandLine + " in " + workDir);
    if (m_process.hProcess) {  // a scenario's next process: the one before has ended
        CloseHandle(m_process.hProcess);
        CloseHandle(m_process.hThread);
        m_process = {};
    }
    // Wine's process start now and then loses the new process before it has
    // run any of the program (CreateProcess fails with ERROR_INTERNAL_ERROR);
    // that start is made again. Any other failure is the test's.
    for (int attempt = 1;; ++attempt) {
        if (CreateProcessW(ScenarioText(exePath).c_str(), &buffer[0], nullptr, nullptr, FALSE, 0, nullptr,
                           ScenarioText(workDir).c_str(), &si, &m_process))
            break;
        DWORD error = GetLastError();
        Note("CreateProcess failed: " + std::to_string(error));
        if (error != ERROR_INTERNAL_ERROR || attempt == 3) return false;
    }
    WaitForInputIdle(m_process.hProcess, 5000);
    return true;
}

namespace {

// How often the windows are looked at while waiting for one to come or go:
// Wine tells another process of no window being shown (no WinEvent), so the
// driver looks, and returns as soon as it sees what it waits for.
constexpr DWORD kLookEveryMs = 10;

// True once the thread of |hWnd| has come back to its message loop (it has
// finished what it was doing); false when the window goes or the thread does
// not answer within |timeoutMs| (it hangs). Messages posted to it before may
// still wait in its queue: a click has been handled when its effect is seen.
bool Answers(HWND hWnd, DWORD timeoutMs) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(hWnd, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &ignored) != 0;
}

}  // namespace

bool SetupProcess::Settle(HWND hWnd, DWORD timeoutMs) {
    // A dialog box shows itself the first time its loop finds no message, so
    // one answer may come from the loop of a box not yet shown; the second
    // comes after that.
    bool settled = Answers(hWnd, timeoutMs) && Answers(hWnd, timeoutMs);
    // The window as it is drawn: what the screen shows of it is read too.
    if (settled) RedrawWindow(hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    return settled && Answers(hWnd, timeoutMs);
}

std::optional<SeenWindow> SetupProcess::NextWindow(DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        // Forget windows that are gone, so a handle the system reuses counts as new.
        m_seen.erase(std::remove_if(m_seen.begin(), m_seen.end(),
                                    [](HWND h) { return !IsWindow(h) || !IsWindowVisible(h); }),
                     m_seen.end());
        Enum e{ProcessAndChildren(m_process.dwProcessId), {}};
        EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&e));
        for (HWND hWnd : e.windows) {
            if (std::find(m_seen.begin(), m_seen.end(), hWnd) != m_seen.end()) continue;
            // Shown, its dialog procedure has set it up; read it once its
            // thread is back in its message loop and it is drawn.
            if (!Settle(hWnd, 20000) || !IsWindowVisible(hWnd)) continue;
            m_seen.push_back(hWnd);
            SeenWindow w;
            w.hWnd = hWnd;
            w.className = ClassName(hWnd);
            w.caption = WindowText(hWnd);
            w.owner = GetWindow(hWnd, GW_OWNER);
            w.style = static_cast<DWORD>(GetWindowLongA(hWnd, GWL_STYLE));
            w.exStyle = static_cast<DWORD>(GetWindowLongA(hWnd, GWL_EXSTYLE));
            EnumChildWindows(hWnd, CollectChild, reinterpret_cast<LPARAM>(&w));
            if (w.IsMessageBox()) w.text = w.GetControl(0xFFFF)->text;
            Note("window: " + w.Describe());
            return w;
        }
        if (GetTickCount() - start >= timeoutMs) {
            Note("no new window within " + std::to_string(timeoutMs) + " ms");
            return std::nullopt;
        }
        // The process's end wakes this at once.
        if (WaitForSingleObject(m_process.hProcess, kLookEveryMs) == WAIT_OBJECT_0) {
            char code[16];
            std::snprintf(code, sizeof code, "0x%lx", static_cast<unsigned long>(ExitCode()));
            Note(std::string("process ended while waiting for a window (exit code ") + code + ")");
            return std::nullopt;
        }
    }
}

bool SetupProcess::WaitClosed(const SeenWindow& window, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (IsWindow(window.hWnd)) {
        if (GetTickCount() - start >= timeoutMs) {
            Note("\"" + window.caption + "\" still open after " + std::to_string(timeoutMs) + " ms");
            return false;
        }
        if (WaitForSingleObject(m_process.hProcess, kLookEveryMs) == WAIT_OBJECT_0) break;
    }
    Note("\"" + window.caption + "\" closed");
    return true;
}

bool SetupProcess::WaitSettled(const SeenWindow& window, DWORD timeoutMs) {
    bool settled = Settle(window.hWnd, timeoutMs);
    Note(settled ? "\"" + window.caption + "\" waits for input" : "\"" + window.caption + "\" does not answer");
    return settled;
}

bool SetupProcess::WaitExit(DWORD timeoutMs) {
    bool ended = WaitForSingleObject(m_process.hProcess, timeoutMs) == WAIT_OBJECT_0;
    Note(ended ? "process ended" : "process still running after " + std::to_string(timeoutMs) + " ms");
    return ended;
}

DWORD SetupProcess::ExitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(m_process.hProcess, &code);
    return code;
}

double SetupProcess::LifetimeMs() const {
    FILETIME created, ended, kernel, user;
    if (!GetProcessTimes(m_process.hProcess, &created, &ended, &kernel, &user)) return -1;
    auto ticks = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return static_cast<double>(ticks(ended) - ticks(created)) / 10000.0;  // 100 ns units
}

void SetupProcess::Click(const SeenWindow& window, int id) {
    Note("click " + std::to_string(id) + " on \"" + window.caption + "\"");
    HWND button = GetDlgItem(window.hWnd, id);
    PostMessageA(window.hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

void SetupProcess::SetText(const SeenWindow& window, int id, const std::string& text) {
    Note("set text of " + std::to_string(id) + " to \"" + text + "\"");
    SendDlgItemMessageW(window.hWnd, id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(ScenarioText(text).c_str()));
}

void SetupProcess::PressKey(const SeenWindow& window, WORD key) {
    Note("key " + std::to_string(key) + " on \"" + window.caption + "\"");
    HWND focus = GetDlgItem(window.hWnd, IDOK);
    HWND target = focus ? focus : window.hWnd;
    PostMessageA(target, WM_KEYDOWN, key, 1);
    PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

std::string SetupProcess::ControlText(const SeenWindow& window, int id) const {
    HWND item = GetDlgItem(window.hWnd, id);
    int length = static_cast<int>(SendMessageA(item, WM_GETTEXTLENGTH, 0, 0));
    std::string text(static_cast<size_t>(length) + 1, '\0');
    SendMessageA(item, WM_GETTEXT, static_cast<WPARAM>(length + 1), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(length));
    return text;
}

void SetupProcess::Note(const std::string& line) {
    m_transcript += line + "\n";
}

namespace {

// Under Wine, a Unix path ("/tmp/shots") becomes the DOS path that names the
// same file; other paths are returned unchanged.
std::string DosPath(const std::string& path) {
    if (path.empty() || path[0] != '/') return path;
    using ToDos = WCHAR*(CDECL*)(const char*);
    auto toDos = reinterpret_cast<ToDos>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name")));
    if (!toDos) return path;
    WCHAR* wide = toDos(path.c_str());
    if (!wide) return path;
    char dos[MAX_PATH * 2] = "";
    WideCharToMultiByte(CP_ACP, 0, wide, -1, dos, sizeof dos, nullptr, nullptr);
    HeapFree(GetProcessHeap(), 0, wide);
    return dos;
}

}  // namespace

bool SaveScreenshot(const std::string& path) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    if (width <= 0 || height <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;  // top row first
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::vector<uint8_t> rgb;
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(dc, bitmap);
        BitBlt(dc, 0, 0, width, height, screen, 0, 0, SRCCOPY);
        GdiFlush();
        const uint8_t* bgra = static_cast<const uint8_t*>(bits);
        rgb.resize(static_cast<size_t>(width) * height * 3);
        for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n; ++i) {
            rgb[3 * i] = bgra[4 * i + 2];
            rgb[3 * i + 1] = bgra[4 * i + 1];
            rgb[3 * i + 2] = bgra[4 * i];
        }
        SelectObject(dc, old);
    }
    if (bitmap) DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return !rgb.empty() && WritePngFile(DosPath(path), width, height, rgb);
}
