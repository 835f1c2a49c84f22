#include "expand/lzhuf_scheme.h"

#include <gtest/gtest.h>

// The position tables against the rule: upper value u owns the 2^(8 - L(u))
// indexes that begin with its L(u)-bit code, in ascending order from index 0.
TEST(LzhufPositionTables, FollowTheCodeLengthRule) {
    const LzhufPositionTables& t = kPositionTables;
    int perLength[9] = {};
    for (int i = 0; i < 256; ++i)
        ++perLength[t.codeLength[i]];
    EXPECT_EQ(perLength[3], 32);
    EXPECT_EQ(perLength[4], 48);
    EXPECT_EQ(perLength[5], 64);
    EXPECT_EQ(perLength[6], 48);
    EXPECT_EQ(perLength[7], 48);
    EXPECT_EQ(perLength[8], 16);

    const int firstIndex[] = {0, 32, 80, 144, 192, 240};   // of u = 0, 1, 4, 12, 24, 48
    const int firstUpper[] = {0, 1, 4, 12, 24, 48};
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(t.upper[firstIndex[k]], firstUpper[k]);
        if (firstIndex[k] > 0) {
            EXPECT_EQ(t.upper[firstIndex[k] - 1], firstUpper[k] - 1);
        }
    }
    EXPECT_EQ(t.upper[255], 63);

    for (int i = 0; i < 256; ++i) {
        const int u = t.upper[i];
        const int length = t.codeLength[i];
        EXPECT_EQ(length, PositionCodeLength(u)) << i;
        // The index begins with the code of its value, and only with that one.
        EXPECT_EQ(i >> (8 - length), t.code[u]) << i;
        if (i > 0) {
            EXPECT_LE(t.upper[i - 1], u);
        }
    }
}
