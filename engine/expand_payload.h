// The installer's expander: one payload file into its destination, with a
// failure shown as the expander's own box, and a payload that is not what
// the distribution's setup.sum says refused as damage.
#pragma once

#include "base/install_log.h"
#include "formats/medium.h"
#include "engine/run_result.h"
#include "engine/run_ui.h"
#include "expand/payload_prefetch.h"

#include <windows.h>

#include <string>

// Expands the compressed file |source| of |medium| (a file of the folder, or
// its stretch of a single-file setup.exe, decoded in place) into dest,
// replacing an existing dest.
// 0 when dest was written and can be opened again; 1 after a failure, which
// has been shown through |ui| as a RunBox::kExpander box: "Erro de abertura
// no arquivo " + the path (source or dest cannot be opened, dest is
// read-only), "Erro de
// leitura" (header shorter than 4 bytes or a read error; an empty dest stays
// behind) or "Erro de acesso ao arquivo " + dest (a write failed or dest
// cannot be opened again). With a setup.sum loaded (medium.Sum()), a
// source it does not list or whose expansion it does not match leaves dest
// untouched and gives 1 too, after ReportDamagedFile.
int ExpandFile(const char* source, const char* dest, RunUi& ui, const Medium& medium, InstallLog& log);

// ExpandFile with what happened: kGoingOn when dest was written; kDamaged
// (path: source) for a payload not as setup.sum says; kExpandFailed (path:
// the file that could not be opened, read or written) after the expander's box.
// |destAttributes|, when given, are dest's attributes as the caller has just
// read them (INVALID_FILE_ATTRIBUTES: no such file), so they are not read again.
// With |ahead|, the payload is taken from there when it was decoded ahead;
// with |closer|, the file put in place is closed after the call returns.
// The outcome is the same.
RunResult ExpandPayload(const char* source, const char* dest, RunUi& ui, const Medium& medium, InstallLog& log,
                        const DWORD* destAttributes = nullptr, PayloadPrefetch* ahead = nullptr,
                        LaterClose* closer = nullptr);

// The box text for a file of the distribution that is not as it was packed
// (|name| as the file list or setup.sum names it).
std::string DamagedDistributionText(const std::string& name);

// Logs that |name| does not match setup.sum and shows the damage through
// |ui| as a RunBox::kError box.
void ReportDamagedFile(const std::string& name, RunUi& ui, InstallLog& log);
