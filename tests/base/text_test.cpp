// The text conversions: UTF-8 and UTF-16 both ways, strictly, and text of a
// Windows code page to UTF-8 (natively through iconv, on Windows through
// the system's tables: the same answers either way).
#include "base/legacy_text.h"
#include "base/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace {

Utf16String Utf16(std::u16string text) { return Utf16String(text.begin(), text.end()); }

// "Προϊόν 製品 Łódź 🎵" and its UTF-16, a surrogate pair at the end.
const std::string kNames = "\xCE\xA0\xCF\x81\xCE\xBF\xCF\x8A\xCF\x8C\xCE\xBD \xE8\xA3\xBD\xE5\x93\x81 "
                           "\xC5\x81\xC3\xB3\x64\xC5\xBA \xF0\x9F\x8E\xB5";
const std::u16string kNames16 = u"\u03A0\u03C1\u03BF\u03CA\u03CC\u03BD \u88FD\u54C1 \u0141\u00F3d\u017A \U0001F3B5";

}  // namespace

TEST(Utf8, EveryCharacterThereAndBackExactly) {
    Utf16String wide;
    ASSERT_TRUE(Utf8ToUtf16(kNames, wide));
    EXPECT_EQ(wide, Utf16(kNames16));
    std::string back;
    ASSERT_TRUE(Utf16ToUtf8(wide.data(), wide.size(), back));
    EXPECT_EQ(back, kNames);
    // A NUL is a character like any other.
    ASSERT_TRUE(Utf8ToUtf16(std::string("a\0b", 3), wide));
    EXPECT_EQ(wide.size(), 3u);
    EXPECT_TRUE(IsAscii("C:\\Program Files\\x") && !IsAscii(kNames));
}

TEST(Utf8, WhatIsNotUtf8OrUtf16IsRefusedNeverReplaced) {
    for (const char* bad : {"\x80", "a\xC3", "\xC0\x80", "\xC1\xBF", "\xE0\x80\x80", "\xE6\x97", "\xED\xA0\x80",
                            "\xF0\x80\x80\x80", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFE", "\xFF",
                            "\xE8\xA3\xBDx\xBD"}) {
        Utf16String wide = Utf16(u"left");
        EXPECT_FALSE(Utf8ToUtf16(bad, wide)) << bad;
        EXPECT_TRUE(wide.empty());
        EXPECT_FALSE(IsUtf8(bad)) << bad;
    }
    EXPECT_TRUE(IsUtf8("\xEF\xBF\xBF\xF4\x8F\xBF\xBF"));  // U+FFFF and U+10FFFF, the last of their lengths
    for (const std::u16string& bad : {std::u16string(u"a\xD800"), std::u16string(u"\xDC00z"),
                                      std::u16string(u"\xDC00\xD800"), std::u16string(u"\xD800\xD800")}) {
        const Utf16String wide = Utf16(bad);
        std::string narrow = "left";
        EXPECT_FALSE(Utf16ToUtf8(wide.data(), wide.size(), narrow));
        EXPECT_TRUE(narrow.empty());
    }
}

TEST(Utf8, CharactersAreCountedAndCutWhole) {
    EXPECT_EQ(Utf8CharCount(kNames), kNames16.size() - 1);  // the pair is one character
    EXPECT_EQ(Utf8PrefixBytes(kNames, 1), 2u);
    EXPECT_EQ(Utf8PrefixBytes(kNames, 8), 16u);  // "Προϊόν " and the first ideograph
    EXPECT_EQ(Utf8PrefixBytes(kNames, 100), kNames.size());
    EXPECT_EQ(Utf8PrefixBytes("abc", 0), 0u);
}

TEST(LegacyText, ACodePageIsReadExactlyOrNotAtAll) {
    std::string utf8;
    // ソ and 表 in Shift-JIS end in 0x5C, a backslash where bytes are read alone.
    ASSERT_TRUE(LegacyToUtf8(932, "\x83\x5C\x95\x5C\\\x83\x6E\x83\x4E", utf8));
    EXPECT_EQ(utf8, "\xE3\x82\xBD\xE8\xA1\xA8\\\xE3\x83\x8F\xE3\x82\xAF");  // ソ表\ハク
    ASSERT_TRUE(LegacyToUtf8(1253, "\xD0\xF1\xEF\xFA\xFC\xED", utf8));
    EXPECT_EQ(utf8, kNames.substr(0, 12));
    ASSERT_TRUE(LegacyToUtf8(1250, "\xA3\xF3\x64\x9F", utf8));
    EXPECT_EQ(utf8, kNames.substr(20, 7));
    ASSERT_TRUE(LegacyToUtf8(65001, kNames, utf8));
    EXPECT_EQ(utf8, kNames);
    ASSERT_TRUE(LegacyToUtf8(936, "", utf8));
    EXPECT_EQ(utf8, "");

    // A lead byte without its second byte, and one with a second byte that
    // no character has.
    for (const char* bad : {"ab\x83", "\x83\x7F"}) {
        utf8 = "left";
        EXPECT_FALSE(LegacyToUtf8(932, bad, utf8)) << bad;
        EXPECT_TRUE(utf8.empty());
    }
    EXPECT_FALSE(LegacyToUtf8(65001, "\xC0\x80", utf8));

    for (unsigned codePage : {932u, 936u, 949u, 950u, 1250u, 1258u}) EXPECT_TRUE(IsListCodePage(codePage));
    for (unsigned codePage : {0u, 437u, 874u, 933u, 1249u, 1259u, 65001u}) EXPECT_FALSE(IsListCodePage(codePage));
}
