// LZMA payloads: the decoder in memory and through its ring agree with what
// was encoded, and refuse every header or stream mksetup did not write. (The
// installer's checks against setup.sum: tests/e2e, EachCodec...)
#include "expand/lzma_payload.h"

#include "expand/payload_codec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Noise(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (uint8_t& c : b) c = uint8_t(rng());
    return b;
}

Bytes Text(size_t n) {
    std::string s;
    for (int i = 0; s.size() < n; ++i) s += "line " + std::to_string(i % 613) + " of the manual, " + std::to_string(i) + "\r\n";
    return Bytes(s.begin(), s.begin() + long(n));
}

class BytesSource : public LzhufSource {
public:
    explicit BytesSource(const Bytes& b, size_t from) : m_b(b), m_at(from) {}
    size_t Read(uint8_t* buffer, size_t size) override {
        size = std::min(size, std::min<size_t>(m_b.size() - m_at, 1000));  // small reads: blocks end anywhere
        std::memcpy(buffer, m_b.data() + m_at, size);
        m_at += size;
        return size;
    }

private:
    const Bytes& m_b;
    size_t m_at;
};

class CollectSink : public LzhufSink {
public:
    bool Write(const uint8_t* data, size_t size) override {
        bytes.insert(bytes.end(), data, data + size);
        return true;
    }
    Bytes bytes;
};

// What both ways of decoding make of |file|: the expansion, or refused.
struct Decoded {
    bool buffer, stream;
    Bytes fromBuffer, fromStream;
};

Decoded DecodeBothWays(const Bytes& file) {
    Decoded d;
    d.buffer = DecodeLzmaBuffer(file.data(), file.size(), d.fromBuffer);
    d.stream = file.size() >= kLzmaHeaderSize;
    if (d.stream) {
        BytesSource source(file, kLzmaHeaderSize);
        CollectSink sink;
        d.stream = !DecodeLzmaStream(file.data(), source, sink).refused;
        d.fromStream = sink.bytes;
    }
    return d;
}

}  // namespace

TEST(LzmaPayload, RoundTripsInMemoryAndThroughItsRing) {
    const Bytes inputs[] = {Bytes(), Bytes{'x'}, Noise(70000, 1), Text(300000)};
    for (const Bytes& data : inputs) {
        // The largest dictionary, and one a small part of the payload (the
        // stream decoder goes round its ring many times).
        for (uint32_t dictionary : {kLzmaMaxDictionary, uint32_t(4096)}) {
            Bytes file;
            ASSERT_TRUE(EncodeLzma(data.data(), data.size(), file, dictionary));
            EXPECT_EQ(PayloadCodecOf(file.data(), file.size()), PayloadCodec::kLzma);
            EXPECT_EQ(StatedPayloadSize(file.data(), file.size()), data.size());
            const Decoded d = DecodeBothWays(file);
            EXPECT_TRUE(d.buffer && d.stream) << data.size() << " bytes, dictionary " << dictionary;
            EXPECT_EQ(d.fromBuffer, data);
            EXPECT_EQ(d.fromStream, data);
        }
    }
    Bytes text = Text(300000), file;
    ASSERT_TRUE(EncodeLzma(text.data(), text.size(), file));
    EXPECT_LT(file.size(), text.size() / 10);
}

TEST(LzmaPayload, RefusesEveryCutAndHeaderItDidNotWrite) {
    const Bytes data = Text(20000);
    Bytes file;
    ASSERT_TRUE(EncodeLzma(data.data(), data.size(), file, 4096));
    // Cut short anywhere, or one byte too many.
    for (size_t keep = 0; keep < file.size(); ++keep) {
        const Decoded d = DecodeBothWays(Bytes(file.begin(), file.begin() + long(keep)));
        EXPECT_FALSE(d.buffer || d.stream) << "cut to " << keep << " of " << file.size();
        EXPECT_TRUE(d.fromBuffer.empty());
    }
    Bytes longer = file;
    longer.push_back(0);
    EXPECT_FALSE(DecodeBothWays(longer).buffer || DecodeBothWays(longer).stream);
    // Another codec number or form; literal bits above 4; a dictionary over
    // 64 MB; a stream whose first byte is not 0.
    const std::pair<size_t, uint8_t> changes[] = {{4, 2}, {5, 1}, {14, 3 + 9 * 2}, {18, 0x08}, {19, 1}};
    for (const auto& change : changes) {
        Bytes bad = file;
        bad[change.first] = change.second;
        const Decoded d = DecodeBothWays(bad);
        EXPECT_FALSE(d.buffer || d.stream) << "byte " << change.first;
    }
}
