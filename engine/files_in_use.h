// Files of an installation that cannot be replaced now because another
// program holds them open (a running program, a loaded DLL), and the
// programs that do where Windows can tell (Restart Manager, Windows Vista
// and later). Before the run, the user may close them; what is still in use
// when its turn comes is replaced when Windows restarts (ExpandPayload).
#pragma once

#include "formats/medium.h"

#include <cstddef>
#include <string>
#include <vector>

// The box that asks what to do about files in use lists at most this many names.
constexpr size_t kInUseListed = 10;

// The text of that box: the programs that hold the files (|applications|),
// or the files themselves when no program is known, at most kInUseListed
// of them and then "and N more"; then what its buttons (Cancel, Try Again,
// Continue) do.
std::string FilesInUseText(const std::vector<std::string>& applications, const std::vector<std::string>& files);

#ifdef _WIN32
// Whether |path| is a file that another program holds open, so that it may
// not be replaced now: opening it for writing and deleting without sharing
// fails with a sharing or lock violation. A missing file is not in use, nor
// one that cannot be written for another reason (read-only, say): replacing
// it fails as it always has.
bool FileInUse(const std::string& path);

// The destinations of the file list of |medium|, loaded with the
// destination directory |destDir|, that are in use: each once, in the
// list's order. None when the list does not load (the run says so).
std::vector<std::string> FindFilesInUse(const Medium& medium, const std::string& destDir);

// The names of the programs that hold |files|, as Restart Manager
// (rstrtmgr.dll of the system directory) gives them: none where it is
// missing or names none (Wine's).
std::vector<std::string> ProgramsUsing(const std::vector<std::string>& files);
#endif
