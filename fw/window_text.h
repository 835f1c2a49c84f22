// Texts of windows and boxes: the program's UTF-8 as the UTF-16 of the
// "W" functions.
#pragma once

#include "base/wide_text.h"

#include <string>

// |text| (null: empty) in UTF-16. Every text the program shows is UTF-8; one
// that is not (bytes of a code page that came in unchecked) is shown as
// the system's ANSI code page reads it rather than not at all.
std::wstring WindowText(const char* text);
