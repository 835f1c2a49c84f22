// LZMA and LZ4 payloads: each decoder in memory and as a stream agrees with
// what was encoded, and refuses every header or stream mksetup did not
// write. (The installer's checks against setup.sum: tests/e2e, EachCodec...)
#include "expand/lz4_payload.h"
#include "expand/lzma_payload.h"

#include "expand/payload_codec.h"
#include "tests/expand/sample_bytes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

namespace {

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

Decoded DecodeBothWays(const Bytes& file, PayloadCodec codec = PayloadCodec::kLzma) {
    const bool lzma = codec == PayloadCodec::kLzma;
    const size_t headerSize = lzma ? kLzmaHeaderSize : kLz4HeaderSize;
    Decoded d;
    d.buffer = lzma ? DecodeLzmaBuffer(file.data(), file.size(), d.fromBuffer)
                    : DecodeLz4Buffer(file.data(), file.size(), d.fromBuffer);
    d.stream = file.size() >= headerSize;
    if (d.stream) {
        BytesSource source(file, headerSize);
        CollectSink sink;
        const CodecDecodeResult r =
            lzma ? DecodeLzmaStream(file.data(), source, sink) : DecodeLz4Stream(file.data(), source, sink);
        d.stream = !r.refused;
        d.fromStream = sink.bytes;
        EXPECT_EQ(r.written, sink.bytes.size());
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

// Blocks: none for an empty payload, one, and two (the last one short);
// text, and bytes that do not compress.
TEST(Lz4Payload, RoundTripsInMemoryAndBlockByBlock) {
    const Bytes inputs[] = {Bytes(), Bytes{'x'}, Noise(70000, 2), Text(kLz4Block + 12345)};
    for (const Bytes& data : inputs) {
        Bytes file;
        ASSERT_TRUE(EncodeLz4(data.data(), data.size(), file));
        EXPECT_EQ(PayloadCodecOf(file.data(), file.size()), PayloadCodec::kLz4);
        EXPECT_EQ(StatedPayloadSize(file.data(), file.size()), data.size());
        const Decoded d = DecodeBothWays(file, PayloadCodec::kLz4);
        EXPECT_TRUE(d.buffer && d.stream) << data.size() << " bytes";
        EXPECT_TRUE(d.fromBuffer == data);
        EXPECT_TRUE(d.fromStream == data);
    }
}

TEST(Lz4Payload, RefusesEveryCutAndBlockItDidNotWrite) {
    // Two blocks: the second one's length and bytes are cut too.
    const Bytes data = Text(kLz4Block + 3000);
    Bytes file;
    ASSERT_TRUE(EncodeLz4(data.data(), data.size(), file));
    const size_t second = kLz4HeaderSize + 4 + (file[14] | file[15] << 8 | file[16] << 16 | size_t(file[17]) << 24);
    const size_t cuts[] = {0, 4, 13, 14, 17, 18, 100, second - 1, second, second + 3, second + 4, file.size() - 1};
    for (size_t keep : cuts) {
        const Decoded d = DecodeBothWays(Bytes(file.begin(), file.begin() + long(keep)), PayloadCodec::kLz4);
        EXPECT_FALSE(d.buffer || d.stream) << "cut to " << keep << " of " << file.size();
        EXPECT_TRUE(d.fromBuffer.empty());
    }
    Bytes longer = file;
    longer.push_back(0);
    EXPECT_FALSE(DecodeBothWays(longer, PayloadCodec::kLz4).buffer || DecodeBothWays(longer, PayloadCodec::kLz4).stream);
    // Another form; a size one byte larger (the last block then expands
    // short) or far larger than the file could hold; a first block of
    // length 0, or longer than its bound; a block LZ4 refuses (its first
    // token promises more literals than there are).
    const std::pair<size_t, uint8_t> changes[] = {{5, 1}, {6, uint8_t(file[6] + 1)}, {12, 1}, {14, 0}, {17, 0x7F},
                                                  {18, 0xFF}};
    for (const auto& change : changes) {
        Bytes bad = file;
        bad[change.first] = change.second;
        if (change.first == 14) bad[15] = bad[16] = bad[17] = 0;
        const Decoded d = DecodeBothWays(bad, PayloadCodec::kLz4);
        EXPECT_FALSE(d.buffer || d.stream) << "byte " << change.first;
    }
}
