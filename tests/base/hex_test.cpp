// The one hexadecimal codec: digests (lower case), the uninstall record's
// data and escapes (upper case), and setup.sum's digests (either case).
#include "base/hex.h"

#include <gtest/gtest.h>

#include <string>

TEST(Hex, WritesEitherCaseAndReadsOnlyWhatItIsAskedToRead) {
    const std::string bytes("\x00\x7f\x80\xab\xff", 5);
    EXPECT_EQ(HexText(bytes.data(), bytes.size(), HexLetters::kLower), "007f80abff");
    EXPECT_EQ(HexText(bytes.data(), bytes.size(), HexLetters::kUpper), "007F80ABFF");
    EXPECT_EQ(HexText(nullptr, 0, HexLetters::kUpper), "");

    std::string out;
    ASSERT_TRUE(ParseHex("007F80ABFF", HexLetters::kUpper, out));
    EXPECT_EQ(out, bytes);
    ASSERT_TRUE(ParseHex("007f80ABff", HexLetters::kEither, out));
    EXPECT_EQ(out, bytes);
    ASSERT_TRUE(ParseHex("", HexLetters::kLower, out));
    EXPECT_EQ(out, "");
    // The record writes upper case only: a lower-case digit is damage there.
    EXPECT_FALSE(ParseHex("007f", HexLetters::kUpper, out));
    EXPECT_FALSE(ParseHex("007F", HexLetters::kLower, out));
    EXPECT_FALSE(ParseHex("0", HexLetters::kEither, out));
    EXPECT_FALSE(ParseHex("0g", HexLetters::kEither, out));
    EXPECT_FALSE(ParseHex(std::string("0\0", 2), HexLetters::kEither, out));
    EXPECT_EQ(HexDigitValue('f', HexLetters::kEither), 15);
    EXPECT_EQ(HexDigitValue('/', HexLetters::kEither), -1);
    EXPECT_EQ(HexDigitValue(':', HexLetters::kEither), -1);
}
