// Small path helpers on 8-bit paths with backslashes. Win32-free.
#pragma once

#include <string>

// The text from the last '.' of the whole path to its end, '.' included, in
// lower case; the whole path in lower case when it has no '.'.
std::string GetPathExtension(const std::string& path);

// The text after the later of the last backslash and the last ':'; the whole
// path when it has neither.
std::string GetPathFileName(const std::string& path);

// True when GetPathExtension(path) is exactly ".dll".
bool IsDllPath(const std::string& path);
