// What the packaging tool's commands share: their signature, the one way
// they print an error, and the checks and names more than one of them uses.
#pragma once

#include "tools/mksetup/list_check.h"
#include "tools/mksetup/mksetup.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

// Prints an error of the tool on |err|: "mksetup: " and |problem| on a line.
void PrintError(std::ostream& err, const std::string& problem);

// PrintError, and the exit status of a command that ends with it.
inline int Fail(std::ostream& err, const std::string& problem) {
    PrintError(err, problem);
    return kExitFailed;
}

// PrintError for a wrong command line, the usage text after it; the exit status for that.
int Usage(std::ostream& err, const std::string& problem);

// |part| as a percentage of |whole|, one decimal ("21.9%").
std::string Percent(uint64_t part, uint64_t whole);

// Prints the issues of a list; true when none of them is an error.
bool ReportIssues(const std::string& listName, const std::vector<ListIssue>& issues, std::ostream& out);

// Reads the plain text file |path| (a list, or a text beside it) into
// |text| in UTF-8: from the Windows code page |codePage|, or, with 0, as
// UTF-8 (a byte order mark at its start is dropped). False, with the error
// printed as path:line, when it cannot be read or a line is not text in that
// encoding: nothing is guessed.
bool ReadPlainText(const std::string& path, unsigned codePage, std::vector<uint8_t>& text, std::ostream& err);

// The code page |text| names for --list-codepage; false when it is none of
// those a list may be written in.
bool ParseListCodePage(const std::string& text, unsigned& codePage);


// The text |text| as a medium holds it: UTF-8 with a byte order mark when it
// holds more than ASCII (the installer reads a text without one in the
// system's code page), as it is otherwise.
void MarkUtf8Text(std::vector<uint8_t>& text);

// A source name of the list as a path below the output folder; empty when it
// would lead outside it.
std::string RelativeOutputPath(const std::string& source);

// True when |path| is a folder; otherwise says why not.
bool IsFolder(const std::string& path, std::ostream& err);

// True, with a message, when a folder stands where a file is to be written:
// mksetup never replaces a folder.
bool FolderInTheWay(const std::string& path, std::ostream& err);

// The commands (the usage text in mksetup.cpp says what each does), as
// RunMksetup: args[0] is the command's name, results go to |out|,
// diagnostics to |err|; |terminal|: progress may be shown on |err|.
using CommandArgs = std::vector<std::string>;
int BuildCommand(const CommandArgs& args, std::ostream& out, std::ostream& err, bool terminal);
int CheckCommand(const CommandArgs& args, std::ostream& out, std::ostream& err, bool terminal);
int VerifyCommand(const CommandArgs& args, std::ostream& out, std::ostream& err, bool terminal);
int UnpackCommand(const CommandArgs& args, std::ostream& out, std::ostream& err, bool terminal);
int CompressCommand(const CommandArgs& args, std::ostream& out, std::ostream& err, bool terminal);
int ExpandCommand(const CommandArgs& args, std::ostream& out, std::ostream& err, bool terminal);
int ShowCommand(const CommandArgs& args, std::ostream& out, std::ostream& err, bool terminal);
