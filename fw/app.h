// The application object: one global instance per program, whose
// InitInstance does the program's work. WinMain runs it; when InitInstance
// returns FALSE the program ends at once (there is no main window and no
// message loop of the application's own).
#pragma once

#include <windows.h>

#include <string>

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance() { return FALSE; }
    // Runs after InitInstance; its result is the process exit code.
    virtual int ExitInstance() { return 0; }

    HINSTANCE m_hInstance = nullptr;
};

// The program's application object (null in programs that have none, such as tests).
CWinApp* AfxGetApp();

// The application's display name: the program file's name without its
// extension. Boxes raised through a window without a caption of their own
// carry it as their caption.
const char* AfxGetAppName();

// The module that holds the program's resources.
HINSTANCE AfxGetResourceHandle();
