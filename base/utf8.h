// Every text the program holds is UTF-8 in a std::string; Windows takes and
// gives UTF-16. These are the one pair of conversions between the two, and
// they are strict: a byte sequence that is not UTF-8 (an overlong form, a
// surrogate, a value past U+10FFFF, a sequence cut short) and UTF-16 with a
// surrogate that has no partner are refused, never replaced, so a name is
// kept exactly or not at all. Win32-free, so they are tested natively.
//
// Byte-wise work on UTF-8 stays right for ASCII: every byte of a multi-byte
// character is 0x80 or above, so a search for '\\', '|' or ';' never lands
// inside one, and upper-casing ASCII letters never changes one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// UTF-16 as Windows holds it: wchar_t there, char16_t for the native tests.
#ifdef _WIN32
using Utf16Char = wchar_t;
#else
using Utf16Char = char16_t;
#endif
using Utf16String = std::basic_string<Utf16Char>;

// The byte order mark a UTF-8 text may start with.
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// True when |text| is UTF-8 throughout.
bool IsUtf8(std::string_view text);

// True when every byte of |text| is ASCII: it reads the same in UTF-8 and in
// every Windows code page.
bool IsAscii(std::string_view text);

// |text| in UTF-16; false, with |out| empty, when |text| is not UTF-8.
bool Utf8ToUtf16(std::string_view text, Utf16String& out);

// The |length| UTF-16 units at |text| in UTF-8; false, with |out| empty, for
// a surrogate without its partner.
bool Utf16ToUtf8(const Utf16Char* text, size_t length, std::string& out);

// The number of characters of the UTF-8 |text| (the bytes that start one).
size_t Utf8CharCount(std::string_view text);

// The number of bytes that hold the first |count| characters of the UTF-8
// |text| (all of it when it has fewer): where it can be cut without cutting
// a character.
size_t Utf8PrefixBytes(std::string_view text, size_t count);
