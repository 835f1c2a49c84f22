/* A DLL that a scenario plants where a program must not look for DLLs (beside
 * setup.exe, in the temporary directory). When the program takes it, it leaves
 * a marker beside itself: a file named as the DLL and ".loaded".
 * Built as uxtheme.dll, and as version.dll with the functions of the system's
 * version.dll that setup.exe (the A ones) and Wine's own user32 (the W ones)
 * import, handed on to the system's copy loaded by its full path: a program
 * that takes it works as before, so only the marker tells.
 * Wine's user32, unlike Windows', imports version.dll itself, so under Wine a
 * version.dll beside any program is loaded with it at start-up when native
 * DLLs are preferred. Such a load, at start-up (|reserved| not null) by a
 * program whose own import table does not name the DLL, is the system's, not
 * the program's: it leaves "<name>.system" instead; but a call of one of
 * the functions setup.exe uses (the A ones), which reached it because the
 * program took a module of that name already loaded, leaves ".loaded". */
#include <windows.h>

/* True when the program's own import table names |name|. */
static BOOL ProgramImports(const char* name) {
    const BYTE* base = (const BYTE*)GetModuleHandleA(NULL);
    const IMAGE_DOS_HEADER* dos = (const IMAGE_DOS_HEADER*)base;
    const IMAGE_NT_HEADERS* nt = (const IMAGE_NT_HEADERS*)(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY* imports = &nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!imports->VirtualAddress) return FALSE;
    const IMAGE_IMPORT_DESCRIPTOR* entry = (const IMAGE_IMPORT_DESCRIPTOR*)(base + imports->VirtualAddress);
    for (; entry->Name; ++entry)
        if (lstrcmpiA((const char*)(base + entry->Name), name) == 0) return TRUE;
    return FALSE;
}

static HINSTANCE planted;

/* Creates the file named as this DLL and |suffix|. */
static void LeaveMarker(const char* suffix) {
    char path[MAX_PATH + 8];
    DWORD length = GetModuleFileNameA(planted, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    lstrcpyA(path + length, suffix);
    HANDLE marker = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    planted = self;
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return TRUE;
    const char* name = path + length;
    while (name > path && name[-1] != '\\' && name[-1] != '/') --name;
    LeaveMarker(reserved && !ProgramImports(name) ? ".system" : ".loaded");
    return TRUE;
}

#ifdef PLANTED_VERSION
static FARPROC SystemFunction(const char* name) {
    static HMODULE system;
    if (!system) {
        char path[MAX_PATH + 16];
        UINT length = GetSystemDirectoryA(path, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return NULL;
        lstrcpyA(path + length, "\\version.dll");
        system = LoadLibraryA(path);
        if (!system) return NULL;
    }
    return GetProcAddress(system, name);
}

typedef DWORD(WINAPI* InfoSizeA)(LPCSTR, LPDWORD);
typedef BOOL(WINAPI* InfoA)(LPCSTR, DWORD, DWORD, LPVOID);
typedef BOOL(WINAPI* QueryA)(LPCVOID, LPCSTR, LPVOID*, PUINT);
typedef DWORD(WINAPI* InfoSizeW)(LPCWSTR, LPDWORD);
typedef BOOL(WINAPI* InfoW)(LPCWSTR, DWORD, DWORD, LPVOID);
typedef BOOL(WINAPI* QueryW)(LPCVOID, LPCWSTR, LPVOID*, PUINT);

DWORD WINAPI PlantedGetFileVersionInfoSizeA(LPCSTR file, LPDWORD handle) {
    LeaveMarker(".loaded");
    InfoSizeA real = (InfoSizeA)SystemFunction("GetFileVersionInfoSizeA");
    return real ? real(file, handle) : 0;
}
BOOL WINAPI PlantedGetFileVersionInfoA(LPCSTR file, DWORD handle, DWORD size, LPVOID data) {
    LeaveMarker(".loaded");
    InfoA real = (InfoA)SystemFunction("GetFileVersionInfoA");
    return real ? real(file, handle, size, data) : FALSE;
}
BOOL WINAPI PlantedVerQueryValueA(LPCVOID block, LPCSTR sub, LPVOID* value, PUINT length) {
    LeaveMarker(".loaded");
    QueryA real = (QueryA)SystemFunction("VerQueryValueA");
    return real ? real(block, sub, value, length) : FALSE;
}
DWORD WINAPI PlantedGetFileVersionInfoSizeW(LPCWSTR file, LPDWORD handle) {
    InfoSizeW real = (InfoSizeW)SystemFunction("GetFileVersionInfoSizeW");
    return real ? real(file, handle) : 0;
}
BOOL WINAPI PlantedGetFileVersionInfoW(LPCWSTR file, DWORD handle, DWORD size, LPVOID data) {
    InfoW real = (InfoW)SystemFunction("GetFileVersionInfoW");
    return real ? real(file, handle, size, data) : FALSE;
}
BOOL WINAPI PlantedVerQueryValueW(LPCVOID block, LPCWSTR sub, LPVOID* value, PUINT length) {
    QueryW real = (QueryW)SystemFunction("VerQueryValueW");
    return real ? real(block, sub, value, length) : FALSE;
}
#endif
