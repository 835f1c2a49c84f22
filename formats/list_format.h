// The line format of the (unscrambled) file list, shared by the installer's
// loader and the packaging tool's checker.
//
// A line ends with LF. When two or more bytes stand before the LF, the byte
// just before it is dropped whatever it is (lines are written with CR LF);
// with fewer, nothing is dropped. Bytes after the last LF are not a line.
// Byte 0 is the record letter (any case), byte 1 the field separator, and the
// record's text starts at byte 2. A line shorter than 3 characters carries no
// record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Longest line the installer accepts: 520 bytes with its CR and LF.
constexpr size_t kMaxLineBytes = 520;
constexpr size_t kMaxLineContent = kMaxLineBytes - 2;

struct ListLine {
    std::string text;     // the line without its end (and without the dropped byte)
    int number = 0;       // 1-based line number
    bool crlf = false;    // the dropped byte was a CR
    bool tooLong = false; // more bytes stood before the LF than a line may hold
};

// Splits plain list bytes into their LF-terminated lines. An unterminated last
// line is not returned. A too-long line is returned flagged, with its text
// cut to kMaxLineContent characters, so that no caller can take it for whole.
std::vector<ListLine> SplitListLines(const uint8_t* data, size_t size);

// Splits at the first |sep|: |first| is the text before it, |second| all after
// it. Without a separator |first| is empty and |second| is the whole text.
void SplitAtFirst(const std::string& text, char sep, std::string& first, std::string& second);

// Splits at the first and the last |sep|: |first| before the first, |last|
// after the last separator of the rest, |middle| between. A missing separator
// leaves the field before it empty and gives the whole remaining text to the
// field after it.
void SplitAtFirstAndLast(const std::string& text, char sep, std::string& first, std::string& middle,
                         std::string& last);

// Parses |text| as the C library's "%u" conversion does: leading white space,
// an optional sign, decimal digits up to the first other character; a minus
// sign negates modulo 2^32, and so does overflow. False when no digit follows.
bool ParseUnsignedDecimal(const char* text, uint32_t& value);
