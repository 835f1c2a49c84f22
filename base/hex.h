// Bytes as hexadecimal text and back: two digits a byte, the high one first.
// Win32-free.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Which letters the digits 10 to 15 are (kEither: both, when reading).
enum class HexLetters { kLower, kUpper, kEither };

// |size| bytes at |bytes| as text, with letters |letters| (kEither writes lower case).
std::string HexText(const void* bytes, size_t size, HexLetters letters);

// The value of the digit |ch|; -1 for a character that is no digit of |letters|.
int HexDigitValue(char ch, HexLetters letters);

// Reads |hex| into |out|; false, with |out| undefined, for an odd number of
// characters or one that is no digit of |letters|.
bool ParseHex(std::string_view hex, HexLetters letters, std::string& out);
