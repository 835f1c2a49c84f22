// printf formatting into a buffer or a string of any length, for log lines
// and the texts of message boxes. On Windows through the system's C runtime
// (msvcrt) rather than MinGW's own printf, which would bring its floating
// point formatting into setup.exe (some 20 KB); the formats the program uses
// (%s, %d, %u, %x, %c, widths) are the same in both. Win32-free interface.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

// As C99's vsnprintf: writes at most |size| - 1 characters of the text and a
// terminating zero into |buffer| (nothing when |size| is 0), and returns the
// length of the whole text (negative for a format error).
int FormatTextV(char* buffer, size_t size, const char* format, va_list args);

// The whole text, however long.
std::string FormatTextV(const char* format, va_list args);

std::string FormatText(const char* format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 1, 2)))
#endif
    ;
