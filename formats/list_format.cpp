#include "formats/list_format.h"

#include <algorithm>

std::vector<ListLine> SplitListLines(const uint8_t* data, size_t size) {
    std::vector<ListLine> lines;
    size_t start = 0;
    int number = 0;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] != '\n') continue;
        ListLine line;
        line.number = ++number;
        size_t before = i - start;  // bytes before the LF
        size_t length = before;
        if (before >= 2) {
            --length;
            line.crlf = data[i - 1] == '\r';
        }
        line.tooLong = before > kMaxLineBytes - 1;
        line.text.assign(reinterpret_cast<const char*>(data + start), std::min(length, kMaxLineContent));
        lines.push_back(std::move(line));
        start = i + 1;
    }
    return lines;
}

void SplitAtFirst(const std::string& text, char sep, std::string& first, std::string& second) {
    size_t pos = text.find(sep);
    if (pos == std::string::npos) {
        first.clear();
        second = text;
        return;
    }
    first = text.substr(0, pos);
    second = text.substr(pos + 1);
}

void SplitAtFirstAndLast(const std::string& text, char sep, std::string& first, std::string& middle,
                         std::string& last) {
    std::string rest;
    SplitAtFirst(text, sep, first, rest);
    size_t pos = rest.rfind(sep);
    if (pos == std::string::npos) {
        middle.clear();
        last = rest;
        return;
    }
    middle = rest.substr(0, pos);
    last = rest.substr(pos + 1);
}

bool ParseUnsignedDecimal(const char* text, uint32_t& value) {
    const char* p = text;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' || *p == '\r') ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (*p < '0' || *p > '9') return false;
    uint32_t v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) v = v * 10u + static_cast<uint32_t>(*p - '0');
    value = negative ? 0u - v : v;
    return true;
}
