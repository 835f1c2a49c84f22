#include "base/utf8.h"

namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Reads the character at |text|[at]; its code point in |value| and its
// length in bytes, or 0 when no UTF-8 character starts there. The ranges
// of the second byte are those of the Unicode standard's table of
// well-formed sequences: they exclude the overlong forms, the surrogates
// and values past U+10FFFF.
size_t DecodeAt(std::string_view text, size_t at, char32_t& value) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        value = lead;
        return 1;
    }
    size_t length;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() - at < length) return 0;
    const unsigned char second = static_cast<unsigned char>(text[at + 1]);
    if (second < low || second > high) return 0;
    for (size_t i = 1; i < length; ++i) {
        const unsigned char byte = static_cast<unsigned char>(text[at + i]);
        if (!IsContinuation(byte)) return 0;
        value = (value << 6) | (byte & 0x3F);
    }
    return length;
}

}  // namespace

bool IsUtf8(std::string_view text) {
    char32_t value;
    for (size_t at = 0; at < text.size();) {
        const size_t length = DecodeAt(text, at, value);
        if (length == 0) return false;
        at += length;
    }
    return true;
}

bool IsAscii(std::string_view text) {
    for (char ch : text)
        if (static_cast<unsigned char>(ch) >= 0x80) return false;
    return true;
}

bool Utf8ToUtf16(std::string_view text, Utf16String& out) {
    out.clear();
    out.reserve(text.size());
    char32_t value;
    for (size_t at = 0; at < text.size();) {
        const size_t length = DecodeAt(text, at, value);
        if (length == 0) {
            out.clear();
            return false;
        }
        at += length;
        if (value < 0x10000) {
            out += static_cast<Utf16Char>(value);
        } else {
            value -= 0x10000;
            out += static_cast<Utf16Char>(0xD800 + (value >> 10));
            out += static_cast<Utf16Char>(0xDC00 + (value & 0x3FF));
        }
    }
    return true;
}

bool Utf16ToUtf8(const Utf16Char* text, size_t length, std::string& out) {
    out.clear();
    out.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        char32_t value = static_cast<char16_t>(text[i]);
        if (value >= 0xD800 && value <= 0xDFFF) {
            // A high surrogate and the low one after it, or nothing.
            const char32_t next = i + 1 < length ? static_cast<char16_t>(text[i + 1]) : 0;
            if (value > 0xDBFF || next < 0xDC00 || next > 0xDFFF) {
                out.clear();
                return false;
            }
            value = 0x10000 + ((value - 0xD800) << 10) + (next - 0xDC00);
            ++i;
        }
        if (value < 0x80) {
            out += static_cast<char>(value);
        } else if (value < 0x800) {
            out += static_cast<char>(0xC0 | (value >> 6));
            out += static_cast<char>(0x80 | (value & 0x3F));
        } else if (value < 0x10000) {
            out += static_cast<char>(0xE0 | (value >> 12));
            out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (value & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (value >> 18));
            out += static_cast<char>(0x80 | ((value >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (value & 0x3F));
        }
    }
    return true;
}

size_t Utf8CharCount(std::string_view text) {
    size_t count = 0;
    for (char ch : text) count += !IsContinuation(static_cast<unsigned char>(ch));
    return count;
}

size_t Utf8PrefixBytes(std::string_view text, size_t count) {
    size_t at = 0;
    for (size_t started = 0; at < text.size(); ++at) {
        if (IsContinuation(static_cast<unsigned char>(text[at]))) continue;
        if (started++ == count) break;
    }
    return at;
}
