#include "base/format_text.h"

#include <cstdio>

int FormatTextV(char* buffer, size_t size, const char* format, va_list args) {
#ifdef _WIN32
    // msvcrt's _vsnprintf neither terminates a cut text nor says how long the
    // whole one is: _vscprintf measures it.
    va_list again;
    va_copy(again, args);
    const int length = _vscprintf(format, args);
    if (size > 0) {
        _vsnprintf(buffer, size, format, again);
        buffer[size - 1] = '\0';
        if (length >= 0 && size_t(length) < size) buffer[length] = '\0';
    }
    va_end(again);
    return length;
#else
    return std::vsnprintf(buffer, size, format, args);
#endif
}

std::string FormatTextV(const char* format, va_list args) {
    va_list again;
    va_copy(again, args);
    const int length = FormatTextV(nullptr, 0, format, args);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<size_t>(length) + 1);
        FormatTextV(&text[0], text.size(), format, again);
        text.resize(static_cast<size_t>(length));
    }
    va_end(again);
    return text;
}

std::string FormatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatTextV(format, args);
    va_end(args);
    return text;
}
