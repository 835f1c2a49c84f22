// The directory part and the file name part of an 8-bit path. Win32-free.
#pragma once

#include <string>

struct PathParts {
    std::string directory;  // up to and including the last separator; empty when there is none
    std::string fileName;   // everything after it; the whole path when there is none
};

// Splits |path| after the last of its characters that is one of |separators|
// (by default the backslash and the drive colon).
PathParts SplitPath(const std::string& path, const char* separators = "\\:");
