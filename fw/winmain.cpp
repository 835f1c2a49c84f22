// Program entry: hands control to the global application object.
#include "fw/app.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
    CWinApp* app = AfxGetApp();
    if (!app) return 1;
    app->m_hInstance = hInstance;
    app->InitInstance();
    return app->ExitInstance();
}
