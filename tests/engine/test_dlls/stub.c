/* The only code of the small DLLs that the version tests read. */
__declspec(dllexport) int TestDllStub(void) { return 0; }
