/* A running program's hold on one of its files, for the scenarios that
 * install over it: file_holder.exe FILE NAME opens FILE without sharing (as
 * a running program or a loaded DLL holds it: no other program can write,
 * rename or delete it), sets the event "NAME-held" and keeps the file open
 * until the event "NAME-end" is set (or ten minutes have passed, should the
 * scenario have died). Exit code 0 after holding it, 1 when FILE cannot be
 * opened, 2 for a wrong command line. */
#include <windows.h>

int main(int argc, char** argv) {
    if (argc != 3 || lstrlenA(argv[2]) > MAX_PATH) return 2;
    char name[MAX_PATH + 8];
    lstrcpyA(name, argv[2]);
    lstrcatA(name, "-held");
    HANDLE held = CreateEventA(NULL, TRUE, FALSE, name);
    lstrcpyA(name, argv[2]);
    lstrcatA(name, "-end");
    HANDLE end = CreateEventA(NULL, TRUE, FALSE, name);
    if (!held || !end) return 2;
    HANDLE file = CreateFileA(argv[1], GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return 1;
    SetEvent(held);
    WaitForSingleObject(end, 10 * 60 * 1000);
    CloseHandle(file);
    return 0;
}
