// The uninstaller: setup.exe started with /uninstall, usually as the
// uninstall.exe that the installation copied into the application directory.
//
// Without /D= it removes the installation in its own directory. A running
// program cannot delete its own file, so it copies itself into a private
// folder of its own in the temporary directory (engine/private_folder.h),
// runs the copy on its directory, waits for it, removes it and ends with its
// exit code: whoever started it (Add/Remove Programs, a deployment tool) sees
// the end of the whole uninstallation. The copy moves the waiting
// uninstall.exe out of the application directory into that folder, which
// goes with it at the next restart.
//
// With /D= it removes the installation in that directory: it asks "Remove
// <product name> and all of its components?" (not with /S), undoes the
// record, logs every step to a new UNINSTALL-<8 hexadecimal digits>.LOG in
// the temporary directory and says what stayed, and where that log is (not
// with /S).
#pragma once

struct CommandLine;
struct SetupObjects;

// Runs the uninstallation of |line|, logging to |setup|'s log; returns the
// process exit code: 0 all
// undone, 1 something stayed, 3 the record is missing or damaged (nothing
// is touched), 4 the question was answered No.
int RunUninstallation(const CommandLine& line, SetupObjects& setup);
