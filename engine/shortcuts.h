// Start-menu shortcuts: shell link files written through the shell's COM
// shell-link object, one shortcut of the file list at a time (the run's
// shortcut phase takes them in file order).
#pragma once

#include "base/install_log.h"
#include "formats/file_list.h"
#include "engine/install_record.h"
#include "engine/run_result.h"

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

// Creates the shortcut of |entry|, through |linkClass|: the directory of the
// link (the program group) first when missing, then the link, each logged in
// |log| ("Successfully created: %s" once the file is there) and recorded in
// |record|. kGroupFailed (path: the link; cause: the level that could not be
// made) or kShortcutFailed (path: the target; error: the HRESULT, or S_OK
// when no file is there afterwards); nothing of it is shown or logged.
RunResult CreateProgramShortcut(const ShortcutEntry& entry, InstallLog& log, InstallRecord& record,
                                const CLSID& linkClass = CLSID_ShellLink);
