#include "fw/app.h"

#include "base/system_info.h"

namespace {
CWinApp* g_pApp = nullptr;
}

CWinApp::CWinApp() { g_pApp = this; }

CWinApp::~CWinApp() {
    if (g_pApp == this) g_pApp = nullptr;
}

CWinApp* AfxGetApp() { return g_pApp; }

const char* AfxGetAppName() {
    static std::string name;
    if (name.empty()) {
        name = ModulePath();
        size_t slash = name.find_last_of("\\/:");
        if (slash != std::string::npos) name.erase(0, slash + 1);
        size_t dot = name.rfind('.');
        if (dot != std::string::npos) name.erase(dot);
    }
    return name.c_str();
}

HINSTANCE AfxGetResourceHandle() {
    if (g_pApp && g_pApp->m_hInstance) return g_pApp->m_hInstance;
    return GetModuleHandleW(nullptr);
}
