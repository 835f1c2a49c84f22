// Text written in a Windows code page (media and records made by earlier
// versions, lists written in one), converted exactly to UTF-8: a byte
// sequence that is no character of that code page is refused, never
// replaced or mapped to a nearest character. On Windows through the
// system's own tables (MultiByteToWideChar with MB_ERR_INVALID_CHARS),
// elsewhere through iconv's CPnnn converters. Win32-free interface.
#pragma once

#include <string>
#include <string_view>

// The code pages a publisher may name for a list (mksetup --list-codepage):
// the Windows ANSI code pages of East Asia (932 Japanese, 936 Simplified
// Chinese, 949 Korean, 950 Traditional Chinese) and of Europe and the Middle
// East (1250 to 1258).
bool IsListCodePage(unsigned codePage);

// |bytes|, text in the code page |codePage| (65001: UTF-8 itself), in UTF-8.
// False, with |utf8| empty, when a sequence is not a character there or
// the code page is not known.
bool LegacyToUtf8(unsigned codePage, std::string_view bytes, std::string& utf8);

// The ANSI code page of the system's locale, in which an earlier version
// wrote its media and records: on Windows that of the system default locale
// (not GetACP, which the program's manifest makes UTF-8), natively 1252.
unsigned SystemAnsiCodePage();
