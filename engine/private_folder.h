// Files of a run that do not belong in the destination (a DLL's temporary
// copy, the uninstaller's copy of itself, the uninstaller's log) are written
// where no other user can have put anything first: in a folder of the run's
// own, made below the temporary directory under a name no one can guess,
// whose creation fails when the name is taken, which only Administrators
// and SYSTEM may open (and the user who runs the program, where it runs
// without an administrator's rights), and which stays open, so that it
// cannot be renamed, until it is removed; or, for
// a file that is kept, under a fresh random name created only when nothing
// has that name yet. The temporary directory of an elevated program is open
// to the same user's unelevated programs, and C:\Windows\Temp (a deployment
// tool's, running as SYSTEM) to every user: a name taken there first, or a
// link planted there, would otherwise redirect what the program writes or
// runs with administrator rights.
#pragma once

#include "base/system_info.h"
#include "engine/run_result.h"

#include <windows.h>

#include <cstdio>
#include <string>

class PrivateFolder {
public:
    PrivateFolder() = default;
    // Removes the folder (see Remove).
    ~PrivateFolder() { Remove(); }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    // Makes a new folder "setup-" and 16 random hexadecimal digits below
    // |parent| with the descriptor of PrivateFolderSddl, trying another name
    // when one exists (a bounded number of times). kTempFolderFailed (path:
    // |parent|, the Windows error code) when no folder could be made;
    // Path() is then empty.
    RunResult Create(const std::string& parent);

    // The folder, without a trailing backslash; empty when there is none.
    const std::string& Path() const { return m_path; }

    // Deletes the folder and everything in it. What cannot be deleted now
    // (a program still running from it) goes at the next restart, and the
    // folder with it.
    void Remove();
    // Leaves the folder, and what is in it, where it is (a failed run's file
    // that could not be put back) and forgets it.
    void Keep();

private:
    std::string m_path;
    HANDLE m_held = INVALID_HANDLE_VALUE;  // the folder, open while it is used
};

// True when this process has an administrator's rights: its token is
// elevated, or, where the system has no elevation (before Windows Vista),
// its token holds the Administrators group.
bool RunsElevated();

// |count| random bytes from the system as hexadecimal digits; empty when
// the system gives none.
std::string RandomHex(size_t count);

// The security descriptor, in the system's text form, of a private folder
// made by this process: a protected access list (nothing inherited from the
// parent) that gives full access to SYSTEM and Administrators alone,
// inherited by the files and folders inside, and, |withLabel|, the high
// integrity label; in a process without an administrator's rights, the
// access list also grants the user of its token (and there is no label).
// Empty when the token's user cannot be read.
std::string PrivateFolderSddl(bool withLabel = true);

// Creates the new file |dir|\|prefix|, 8 random hexadecimal digits, |suffix|
// (never one that exists: another name is tried then) and opens it for
// writing, binary. Null when none could be created; |path| is its name.
std::FILE* CreateFreshFile(const std::string& dir, const std::string& prefix, const std::string& suffix,
                           std::string& path);
