// The packaging tool: makes an installer's distribution folder from a plain
// file list and the files it names, and checks, compresses, expands and shows
// the single files.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

enum MksetupExit {
    kExitOk = 0,
    kExitFailed = 1,   // errors found in a list, or a command failed
    kExitUsage = 2,
};

// Runs one command line (without the program name).  Results go to out,
// diagnostics to err; progress is shown on err when it is a terminal.
int RunMksetup(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool terminal = false);
