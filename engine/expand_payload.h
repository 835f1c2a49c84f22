// The installer's expander: one payload file into its destination, and a
// payload that is not what the distribution's setup.sum says refused as
// damage. It shows nothing and logs nothing: what failed comes back.
#pragma once

#include "formats/medium.h"
#include "engine/run_result.h"
#include "engine/payload_prefetch.h"

#include <windows.h>

#include <string>

// Expands the compressed file |source| of |medium| (a file of the folder, or
// its stretch of a single-file setup.exe, decoded in place) into |dest|,
// replacing an existing |dest|. kGoingOn when |dest| was written and can be
// opened again. kExpanderError, with the file at fault and the text of the
// expander's own box: "Erro de abertura no arquivo " + the path (source or
// dest cannot be opened, dest is read-only), "Erro de leitura" (header
// shorter than 4 bytes, a read error, or an LZMA payload whose dictionary
// (an LZ4 one whose block) does not fit in memory; no dest is left behind) or "Erro de
// acesso ao arquivo " + dest (a write failed or dest cannot be opened again).
// kDamaged (path: source) when a setup.sum was loaded (medium.Sum()) that
// does not list |source| or whose expansion it does not match; dest is left
// untouched then.
// |destAttributes|, when given, are dest's attributes as the caller has just
// read them (INVALID_FILE_ATTRIBUTES: no such file), so they are not read again.
// With |ahead|, the payload is taken from there when it was decoded ahead;
// with |closer|, the file put in place is closed after the call returns.
// The outcome is the same.
// With |inUse|, a dest that another program holds (FileInUse) does not
// fail the expansion: it is staged beside dest, checked as every expansion
// is, and renamed over dest when Windows restarts (inUse->staged says so).
struct InUsePlacement {
    bool known = false;  // the caller found dest in use: it is not tried now
    std::string staged;  // the staged file that replaces dest at restart; empty when dest was placed now
};
RunResult ExpandPayload(const char* source, const char* dest, const Medium& medium,
                        const DWORD* destAttributes = nullptr, PayloadPrefetch* ahead = nullptr,
                        LaterClose* closer = nullptr, InUsePlacement* inUse = nullptr);
