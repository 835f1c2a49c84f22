// Encoder to decoder on varied data; the baseline decoder must agree.
#include "tests/expand/lzhuf_test_util.h"

#include <gtest/gtest.h>

#include <random>

namespace {

void ExpectRoundTrip(const Bytes& data, const LzhufEncodeOptions& options = {}) {
    Bytes file;
    ASSERT_TRUE(EncodeLzhuf(data.data(), data.size(), file, options));
    ASSERT_EQ(ReadLzhufHeader(file.data()), int32_t(data.size()));
    LzhufDecodeResult result;
    EXPECT_EQ(DecodeChecked(file, &result), data);
    EXPECT_FALSE(result.pastEnd);
}

}  // namespace

TEST(LzhufRoundTrip, SmallAndUniformInputs) {
    ExpectRoundTrip({});
    ExpectRoundTrip({'a'});
    ExpectRoundTrip({'a', 'b'});
    ExpectRoundTrip({0, 0, 0});
    ExpectRoundTrip(Bytes(61, ' '));    // nothing but the preset spaces
    ExpectRoundTrip(Bytes(5000, 0));
    ExpectRoundTrip(Bytes(70000, 0xFF));
    Bytes all;
    for (int round = 0; round < 3; ++round)
        for (int b = 0; b < 256; ++b)
            all.push_back(uint8_t(b));
    ExpectRoundTrip(all);
}

TEST(LzhufRoundTrip, MatchesOfEveryLengthAtEveryDistance) {
    // A random block, then copies of its prefixes, each of a length 3..60 and
    // taken from a distance that walks through all 64 position classes; a
    // fresh random byte ends each copy.
    std::mt19937 rng(2);
    for (bool lazy : {false, true}) {
        Bytes data;
        for (int i = 0; i < 4200; ++i)
            data.push_back(uint8_t(rng()));
        for (int n = 0; n < 64 * 3; ++n) {
            const int length = kMinMatch + n % (kMaxMatch - kMinMatch + 1);
            const size_t distance = size_t(64 * (n % 64) + (n * 7) % 64 + 1);
            const size_t from = data.size() - std::max<size_t>(distance, size_t(length));
            for (int k = 0; k < length; ++k)
                data.push_back(data[from + size_t(k)]);
            data.push_back(uint8_t(rng()));
        }
        ExpectRoundTrip(data, {128, lazy});
    }
}

TEST(LzhufRoundTrip, TextBinaryAndRandomData) {
    std::mt19937 rng(9);
    Bytes text;
    const char* words[] = {"#include ", "<windows.h>", "\r\n", "int ", "return ", "    ", "ExpandFile", "(", ");"};
    while (text.size() < 200000) {
        const std::string w = words[rng() % 9];
        text.insert(text.end(), w.begin(), w.end());
    }
    ExpectRoundTrip(text);
    ExpectRoundTrip(text, {1, false});   // shortest chains, greedy

    Bytes binary;
    while (binary.size() < 150000) {
        const uint32_t v = rng();
        const int kind = int(v % 4);
        if (kind == 0)
            binary.insert(binary.end(), 8 + v % 24, 0);
        else
            for (int k = 0; k < 4; ++k)
                binary.push_back(uint8_t(kind == 1 ? v >> (8 * k) : (v >> 8) & 0x0F));
    }
    ExpectRoundTrip(binary);

    Bytes random(100000);
    for (auto& b : random)
        b = uint8_t(rng());
    ExpectRoundTrip(random);
}

TEST(LzhufRoundTrip, SizesBeyondTheHeaderAreRefused) {
    Bytes file{1, 2, 3};
    const uint8_t byte = 0;
    EXPECT_FALSE(EncodeLzhuf(&byte, size_t(1) << 31, file));
    EXPECT_TRUE(file.empty());
}
