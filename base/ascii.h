// Upper-casing of ASCII letters only, as the list's texts compare and as the C
// runtime's default locale has it: record letters, shared-file fragments,
// registry root names, file names, the log's title.
#pragma once

#include <string>

inline char UpperAscii(char ch) { return ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 'a' + 'A') : ch; }

inline std::string UpperAscii(std::string text) {
    for (char& ch : text) ch = UpperAscii(ch);
    return text;
}
