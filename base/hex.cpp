#include "base/hex.h"

std::string HexText(const void* bytes, size_t size, HexLetters letters) {
    const char* digits = letters == HexLetters::kUpper ? "0123456789ABCDEF" : "0123456789abcdef";
    const unsigned char* at = static_cast<const unsigned char*>(bytes);
    std::string text;
    text.reserve(2 * size);
    for (size_t i = 0; i < size; ++i) {
        text += digits[at[i] >> 4];
        text += digits[at[i] & 15];
    }
    return text;
}

int HexDigitValue(char ch, HexLetters letters) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (letters != HexLetters::kUpper && ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    if (letters != HexLetters::kLower && ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    return -1;
}

bool ParseHex(std::string_view hex, HexLetters letters, std::string& out) {
    out.clear();
    if (hex.size() % 2) return false;
    out.reserve(hex.size() / 2);
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int high = HexDigitValue(hex[i], letters), low = HexDigitValue(hex[i + 1], letters);
        if (high < 0 || low < 0) return false;
        out += static_cast<char>(high * 16 + low);
    }
    return true;
}
