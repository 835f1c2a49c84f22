#include "formats/scramble.h"

#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

TEST(ScrambleKey, StartsAtA3AndFallsByOneWithPeriod256) {
    EXPECT_EQ(ScrambleKey(0), 0xA3);
    for (uint64_t o = 0; o < 1024; ++o) {
        EXPECT_EQ(static_cast<uint8_t>(ScrambleKey(o) - 1), ScrambleKey(o + 1)) << o;
        EXPECT_EQ(ScrambleKey(o), ScrambleKey(o + 256)) << o;
    }
}

TEST(ScrambleCopy, TwiceGivesTheInputBackAndHandlesEmptyFiles) {
    TempDir dir;
    std::string data;
    for (int i = 0; i < 70000; ++i) data += static_cast<char>((i * 7919) >> 3);
    dir.Write("plain", data);
    ASSERT_TRUE(ScrambleCopy(dir.Path("plain").c_str(), dir.Path("scrambled").c_str()));
    std::string scrambled = dir.Read("scrambled");
    ASSERT_EQ(scrambled.size(), data.size());
    EXPECT_EQ(static_cast<uint8_t>(scrambled[0]), static_cast<uint8_t>(data[0] ^ 0xA3));
    EXPECT_EQ(static_cast<uint8_t>(scrambled[65537]), static_cast<uint8_t>(data[65537] ^ ScrambleKey(65537)));
    ASSERT_TRUE(ScrambleCopy(dir.Path("scrambled").c_str(), dir.Path("again").c_str()));
    EXPECT_EQ(dir.Read("again"), data);

    dir.Write("empty", "");
    EXPECT_TRUE(ScrambleCopy(dir.Path("empty").c_str(), dir.Path("empty.out").c_str()));
    EXPECT_EQ(dir.Read("empty.out"), "");
    EXPECT_FALSE(ScrambleCopy(dir.Path("missing").c_str(), dir.Path("x").c_str()));
}

TEST(ScrambleCopy, AFailedCopyKeepsTheOldListAndLeavesNoTemporary) {
    TempDir dir;
    dir.Write("setup.drc", "the good list");
    dir.Write("folder/inside", "");
    // A directory opens as a stream on some systems but cannot be read.
    EXPECT_FALSE(ScrambleCopy(dir.Path("folder").c_str(), dir.Path("setup.drc").c_str()));
    EXPECT_EQ(dir.Read("setup.drc"), "the good list");
    EXPECT_EQ(dir.Count(), 2u);
}

// A list written in UTF-8 says so in setup.drc, as mksetup's lists do; one
// written in a code page stays as it was.
TEST(ScrambleCopy, AListInUtf8GetsItsMarker) {
    TempDir dir;
    const std::string greek = "X;C:\\\xCE\xA0\xCF\x81\xCE\xBF\xCF\x8A\xCF\x8C\xCE\xBD\r\n";
    const std::string marked = "U;UTF-8\r\n" + greek;
    const std::pair<std::string, std::string> cases[] = {
        {greek, marked},
        {"\xEF\xBB\xBF" + greek, marked},
        {"\xEF\xBB\xBFX;C:\\A\r\n", "X;C:\\A\r\n"},
        {marked, marked},
        {"X;C:\\\xD0\xF1\xEF\xca\xEF\xfd\r\n", "X;C:\\\xD0\xF1\xEF\xca\xEF\xfd\r\n"},  // code page 1253
    };
    for (const auto& [plain, expected] : cases) {
        dir.Write("plain", plain);
        ASSERT_TRUE(ScrambleCopy(dir.Path("plain").c_str(), dir.Path("setup.drc").c_str()));
        std::string list = dir.Read("setup.drc");
        ScrambleBuffer(reinterpret_cast<uint8_t*>(&list[0]), list.size());
        EXPECT_EQ(list, expected) << plain;
    }
}
