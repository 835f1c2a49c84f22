// The edge between the program's UTF-8 and the UTF-16 of the Windows "W"
// functions, for everything that hands text to Windows or takes it back:
// file and directory names, registry names and data, window texts.
// (Windows only; the conversions themselves are base/utf8.h.)
#pragma once

#include <string>

// |text| in UTF-16; empty when it is not UTF-8, so that a call given it
// fails rather than touch another name. (Every text the program holds was
// checked when it came in.)
std::wstring Wide(const std::string& text);

// The |length| UTF-16 units at |text| in UTF-8; empty when they are not
// UTF-16 (a surrogate without its partner), so that the name a caller would
// build from them names nothing.
std::string Narrow(const wchar_t* text, size_t length);
std::string Narrow(const std::wstring& text);

// True when |a| and |b| are the same text but for case, as Windows compares
// names (lstrcmpiW): file paths, registry keys.
bool EqualIgnoringCase(const std::string& a, const std::string& b);

// Paths this long or longer take the \\?\ form: Windows takes directory
// names shorter than MAX_PATH - 12 characters, and other paths shorter than
// MAX_PATH, in the plain form only.
constexpr size_t kLongPathFrom = 248;

// The path |path| as the file functions take it: UTF-16, and a full path of
// kLongPathFrom characters or more made whole (GetFullPathNameW: "." and
// "..", either slash) and put in the \\?\ form, which no length limits:
// \\?\C:\dir or \\?\UNC\server\share\dir. Shorter paths are handed on as
// they are, so that they mean what they always meant. Empty for a path that
// is not UTF-8.
std::wstring WidePath(const std::string& path);

// What a Windows function writes into a buffer of the room it asks for:
// |ask| gets |context|, the buffer and its room in characters, and returns
// the length written (without the terminator) when it fits, the room it
// needs when it does not (at least the room given), 0 on failure. False
// when it fails or keeps asking for more.
using WideAsk = unsigned long (*)(const void* context, wchar_t* buffer, unsigned long room);
bool AskWide(WideAsk ask, const void* context, std::wstring& text);
