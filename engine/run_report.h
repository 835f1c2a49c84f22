// What the user sees and the log says when something fails in an
// installation run: every box and failure line of the run, in one place, in
// the order the installation has always given them. The operations below
// the run return what happened (engine/run_result.h); the run hands each
// failure here.
#pragma once

#include "base/install_log.h"
#include "formats/file_list.h"
#include "engine/run_result.h"
#include "engine/run_ui.h"

#include <string>

// Shows the boxes of |failure| through |ui| and writes its lines to |log|,
// those of its cause first. A failure that names a shared file of |list| in
// its box is worded without it. A result that did not fail, or whose report
// is a question already asked, gives nothing.
void ReportFailure(const RunResult& failure, RunUi& ui, InstallLog& log, const FileList& list);

// The box text for a file of the distribution that is not as it was packed
// (|name| as the file list or setup.sum names it).
std::string DamagedDistributionText(const std::string& name);

// The log line that says what making the installation removable left undone
// (kUninstallerNotCopied, kNotRegistered, kRecordNotSaved), for a failed
// run, which makes it removable without lines of its own.
std::string UninstallableFailureText(const RunResult& failure);
