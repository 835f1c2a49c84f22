// Start-menu shortcuts: shell link files written through the shell's COM
// shell-link object, and the shortcut phase of the installation run.
#pragma once

#include "base/install_log.h"
#include "formats/file_list.h"
#include "engine/install_record.h"
#include "engine/run_ui.h"

#include <windows.h>
#include <shobjidl.h>

// Writes the shell link file |linkPath| (exactly that name; nothing is
// appended) pointing to |target| with the description |description|, through
// the COM class |linkClass| (the shell's link object). COM is
// initialised for this one call and uninitialised before it returns. Returns
// the HRESULT of the last step made: S_OK when the file was saved; the
// failure of creating the shell link, of asking it for IPersistFile, or of
// saving; HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER) when |linkPath| does
// not fit in MAX_PATH wide characters with its terminator (nothing is saved
// then, rather than a link under a cut name).
HRESULT CreateShortcut(const char* target, const char* linkPath, const char* description,
                       const CLSID& linkClass = CLSID_ShellLink);

// Creates every shortcut of |list| in file order. The directory of
// each link (the program group) is made first when missing; a group that
// cannot be made, or a shortcut that cannot be written, is logged and shown
// through |ui| (RunBox::kNotice), and the phase goes on with the next entry.
// Each group level made and each shortcut written is recorded in |record|.
void CreateProgramShortcuts(const FileList& list, RunUi& ui, InstallLog& log, InstallRecord& record,
                            const CLSID& linkClass = CLSID_ShellLink);
