// Checks a plain file list (the text that "setup.drc" is the scramble of) for
// what would make the installer stop, refuse the list or do something else
// than its author meant.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct ListIssue {
    int line = 0;          // 1-based
    bool error = false;    // false: a warning
    std::string message;
};

// Answers whether an F record's source name is among the files to pack.
using SourceFinder = std::function<bool(const std::string& source)>;

// The issues of the list, in line order.  With an empty findSource the
// sources are not looked for. With |markedUtf8| the list is checked as if it
// had its U line (which mksetup puts on top of a list of more than ASCII).
std::vector<ListIssue> CheckList(const uint8_t* data, size_t size, const SourceFinder& findSource = nullptr,
                                 bool markedUtf8 = false);

// The files mksetup itself writes into the distribution folder, whose names no
// packed source may take (compared without regard to case, as Windows does).
constexpr const char* kDistributionFileNames[] = {"setup.drc", "setup.exe", "setup.sum", "Setup2.txt",
                                                    "terms.txt"};

// The folder names and the file name of an F source's place below the
// distribution folder: its parts between backslashes or slashes, without
// empty and "." parts. Empty when it would lead outside the folder (a ".."
// part, a drive, a leading separator) or names no file.
std::vector<std::string> SourcePathParts(const std::string& source);

// The source names of the list's F records, each once, in list order.
std::vector<std::string> ListSources(const uint8_t* data, size_t size);
