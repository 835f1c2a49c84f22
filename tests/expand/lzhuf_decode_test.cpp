// The decoder on streams made symbol by symbol; every result is also checked
// against the plain baseline decoder.
#include "tests/expand/lzhuf_test_util.h"

#include <gtest/gtest.h>

#include <random>

namespace {

Bytes Repeat(uint8_t byte, size_t n) { return Bytes(n, byte); }

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

TEST(LzhufDecode, ZeroAndNegativeSizesDecodeNothing) {
    const auto stream = [](LzhufSymbolWriter& w) { w.Literal('a'); };
    EXPECT_TRUE(DecodeChecked(MakePayload(0, stream)).empty());
    EXPECT_TRUE(DecodeChecked(MakePayload(-1, stream)).empty());
    EXPECT_TRUE(DecodeChecked(MakePayload(INT32_MIN, stream)).empty());
}

TEST(LzhufDecode, HeaderShorterThanFourBytesIsRefused) {
    const uint8_t bytes[3] = {1, 0, 0};
    Bytes out;
    EXPECT_FALSE(DecodeLzhufBuffer(bytes, 3, out));
    EXPECT_FALSE(DecodeLzhufBuffer(bytes, 0, out));
    EXPECT_TRUE(out.empty());
}

TEST(LzhufDecode, LiteralsAndTheLastMatchSymbols) {
    const Bytes file = MakePayload(3 + 60 + 2, [](LzhufSymbolWriter& w) {
        w.Literal(0xFF);    // symbol 255
        w.Literal(0x00);
        w.Match(3, 2);      // symbol 256: FF 00 FF
        w.Match(60, 1);     // symbol 313: sixty times FF
    });
    EXPECT_EQ(DecodeChecked(file), Concat({0xFF, 0x00, 0xFF, 0x00, 0xFF}, Repeat(0xFF, 60)));
}

TEST(LzhufDecode, PositionZeroRepeatsThePreviousByte) {
    const Bytes file = MakePayload(7, [](LzhufSymbolWriter& w) {
        w.Literal('x');
        w.Match(6, 1);
    });
    EXPECT_EQ(DecodeChecked(file), ToBytes("xxxxxxx"));
}

TEST(LzhufDecode, AFirstMatchCopiesThePresetRing) {
    // Ring positions 0..4035 start as spaces and 4036..4095 as zero bytes; the
    // first byte goes to position 4036.
    EXPECT_EQ(DecodeChecked(MakePayload(10, [](LzhufSymbolWriter& w) { w.Match(10, 100); })), Repeat(' ', 10));
    EXPECT_EQ(DecodeChecked(MakePayload(10, [](LzhufSymbolWriter& w) { w.Match(10, 4036); })), Repeat(' ', 10));
    EXPECT_EQ(DecodeChecked(MakePayload(60, [](LzhufSymbolWriter& w) { w.Match(60, 4096); })), Repeat(0, 60));
    // From position 4062 up to the end of the ring, then on from position 0.
    EXPECT_EQ(DecodeChecked(MakePayload(60, [](LzhufSymbolWriter& w) { w.Match(60, 4070); })),
              Concat(Repeat(0, 34), Repeat(' ', 26)));
}

TEST(LzhufDecode, ALastMatchIsWrittenWhole) {
    const Bytes file = MakePayload(5, [](LzhufSymbolWriter& w) {
        w.Literal('a');
        w.Match(60, 1);
        w.Literal('b');   // never reached
    });
    LzhufDecodeResult result;
    EXPECT_EQ(DecodeChecked(file, &result), Repeat('a', 61));
    EXPECT_EQ(result.written, 61u);
    EXPECT_FALSE(result.pastEnd);
}

TEST(LzhufDecode, MatchesOfEveryLengthAndEveryPositionClass) {
    // 4096 varied bytes, then for every upper value of the position three
    // matches, the lengths going round 3..60; the expected output follows
    // from copying byte by byte.
    std::mt19937 rng(11);
    Bytes literals, expected;
    std::vector<std::pair<int, int>> matches;   // length, distance
    for (int i = 0; i < 4096; ++i)
        literals.push_back(uint8_t(rng()));
    expected = literals;
    int length = kMinMatch;
    for (int upper = 0; upper < 64; ++upper) {
        for (int low : {0, 17, 63}) {
            const int distance = upper * 64 + low + 1;
            matches.emplace_back(length, distance);
            for (int k = 0; k < length; ++k)
                expected.push_back(expected[expected.size() - size_t(distance)]);
            length = length == kMaxMatch ? kMinMatch : length + 1;
        }
    }
    const Bytes file = MakePayload(int32_t(expected.size()), [&](LzhufSymbolWriter& w) {
        for (uint8_t b : literals)
            w.Literal(b);
        for (const auto& m : matches)
            w.Match(m.first, m.second);
    });
    EXPECT_EQ(DecodeChecked(file), expected);
}

TEST(LzhufDecode, AStreamThatEndsEarlyGoesOnWithZeroBits) {
    std::string text;
    for (int i = 0; i < 400; ++i)
        text += "line " + std::to_string(i * 37) + " of the welcome text\r\n";
    Bytes file;
    ASSERT_TRUE(EncodeLzhuf(reinterpret_cast<const uint8_t*>(text.data()), text.size(), file));
    const Bytes cut(file.begin(), file.begin() + long(file.size() / 2));

    LzhufDecodeResult result;
    const Bytes out = DecodeChecked(cut, &result);
    EXPECT_GE(out.size(), text.size());
    EXPECT_LT(out.size(), text.size() + kMaxMatch);
    EXPECT_TRUE(result.pastEnd);
    // What the stream still held decodes as before.
    EXPECT_EQ(std::string(out.begin(), out.begin() + 1000), text.substr(0, 1000));

    // A stream of no bits at all decodes too: zero bits are symbols as well.
    const Bytes bare = SizeHeader(100000);
    EXPECT_GE(DecodeChecked(bare).size(), 100000u);

    // Tools may ask to stop as soon as the input is used up: the text is
    // even, so half the stream holds about half of it, all of it right.
    Bytes stopped;
    ASSERT_TRUE(DecodeLzhufBuffer(cut.data(), cut.size(), stopped, &result, LzhufEnd::Stop));
    EXPECT_TRUE(result.pastEnd);
    EXPECT_GT(stopped.size(), text.size() * 4 / 10);
    EXPECT_LT(stopped.size(), text.size() * 6 / 10);
    EXPECT_TRUE(std::equal(stopped.begin(), stopped.end(), out.begin()));
    EXPECT_EQ(std::string(stopped.begin(), stopped.end() - kMaxMatch), text.substr(0, stopped.size() - kMaxMatch));

    // The whole stream, stopped at its end, gives the whole text back.
    stopped.clear();
    ASSERT_TRUE(DecodeLzhufBuffer(file.data(), file.size(), stopped, &result, LzhufEnd::Stop));
    EXPECT_FALSE(result.pastEnd);
    EXPECT_EQ(std::string(stopped.begin(), stopped.end()), text);
}

TEST(LzhufDecode, GoesAcrossSeveralRebuilds) {
    // About 150,000 symbols: four rebuilds of the tree.
    std::mt19937 rng(5);
    Bytes data;
    std::string words[] = {"alpha ", "beta ", "gamma\r\n", "delta ", "epsilon "};
    while (data.size() < 400000) {
        if (rng() % 3 == 0) {
            for (int i = 0; i < 200; ++i)
                data.push_back(uint8_t(rng() % 40 + 'A'));
        } else {
            const std::string& w = words[rng() % 5];
            data.insert(data.end(), w.begin(), w.end());
        }
    }
    Bytes file;
    ASSERT_TRUE(EncodeLzhuf(data.data(), data.size(), file));
    EXPECT_EQ(DecodeChecked(file), data);
}
