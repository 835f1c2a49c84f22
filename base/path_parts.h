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

// The length of the root of a full path: "C:\" (a drive letter, a colon and a
// separator) gives 3; "\\server\share\dir" gives the length of
// "\\server\share\" (the whole text when nothing follows the share). 0 for a
// path that is not full: empty, relative, "\dir", a bare drive "C:" or a
// drive-relative "C:dir", or a UNC path without server or share. Either
// slash counts as a separator.
size_t PathRootLength(const std::string& path);

// A full path: one with a root (see PathRootLength).
inline bool IsFullPath(const std::string& path) { return PathRootLength(path) > 0; }
