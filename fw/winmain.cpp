// Program entry: hands control to the global application object.
#include "fw/app.h"

#include <cstdlib>

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
    CWinApp* app = AfxGetApp();
    if (!app) return 1;
    app->m_hInstance = hInstance;
    app->InitInstance();
    return app->ExitInstance();
}

// What std::terminate calls. The runtime's own handler writes the demangled
// name of the exception to a console this GUI program does not have, and
// brings the demangler (a quarter of the program's size) with it.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
