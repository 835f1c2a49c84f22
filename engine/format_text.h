// printf formatting into a string of any length, for the texts of message
// boxes. Win32-free.
#pragma once

#include <string>

std::string FormatText(const char* format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 1, 2)))
#endif
    ;
