// The installer's expander: one payload file into its destination, with the
// failures shown in message boxes.
#pragma once

#include <windows.h>

// Owner of the expander's message boxes: the progress dialog's window, set by
// that dialog when it opens; null until then.
extern HWND g_hWndProgress;

// Expands the compressed file source into dest, replacing an existing dest.
// 0 when dest was written and can be opened again; 1 after a failure, which
// has been shown in a box owned by g_hWndProgress, without caption, with
// MB_OK | MB_ICONERROR: "Erro de abertura no arquivo " + the path (source or
// dest cannot be opened), "Erro de leitura" (header shorter than 4 bytes or a
// read error; an empty dest stays behind) or "Erro de acesso ao arquivo " +
// dest (a write failed or dest cannot be opened again).
int ExpandFile(const char* source, const char* dest);
