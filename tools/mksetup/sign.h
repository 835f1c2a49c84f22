// Code signing of the executables a build writes into the distribution
// folder, with the publisher's own command (signtool, osslsigncode, ...).
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// |command| with every "{}" replaced by |path| quoted for the shell that runs
// it: sh on POSIX systems, cmd on Windows.
std::string SigningCommandFor(const std::string& command, const std::string& path);

// Runs the signing command through the shell (sh -c, or cmd /c on Windows) on
// each of |files| in turn. True when every run ended with status 0 and left a
// PE file that carries a signature; otherwise reports the problem on |err|
// and stops there.
bool SignFiles(const std::string& command, const std::vector<std::string>& files, std::ostream& err);
