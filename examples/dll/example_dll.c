/* The example product's shared library: nothing but an entry point, one
   exported function and a version resource for the installer to compare. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}

__declspec(dllexport) int ExampleVersion(void) { return 0x0102; }
