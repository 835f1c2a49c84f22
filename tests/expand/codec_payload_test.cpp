// LZMA and LZ4 payloads: each decoder in memory and as a stream agrees with
// what was encoded, and refuses every header or stream mksetup did not
// write. (The installer's checks against setup.sum: tests/e2e, EachCodec...)
#include "expand/lz4_payload.h"
#include "expand/lzma_payload.h"

#include "expand/payload_codec.h"
#include "expand/solid_block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
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

// Two solid blocks and their members, asked for in any order, from a block
// reader that counts its reads: each block is read and decoded once while
// its members are given out, and again only for a member asked again after
// all of it was given. A member outside its block, a block changed or
// missing are damage (for good); a block that could not be read may be
// tried again.
TEST(SolidBlocks, GiveEachMemberFromItsBlockAndRefuseDamage) {
    const Bytes parts[] = {Text(50000), Bytes(), Noise(3000, 2), Text(7), Noise(20000, 3)};
    // Block 1: parts 0-2; block 2: parts 3-4.
    std::map<std::string, Bytes> files;
    std::vector<SolidMember> members;
    for (uint32_t block : {1u, 2u}) {
        Bytes expansion;
        for (size_t i = block == 1 ? 0 : 3; i < (block == 1 ? 3u : 5u); ++i) {
            members.push_back({block, expansion.size(), parts[i].size()});
            expansion.insert(expansion.end(), parts[i].begin(), parts[i].end());
        }
        ASSERT_TRUE(EncodeLzma(expansion.data(), expansion.size(), files[SolidBlockName(block)], kLzmaMaxDictionary,
                               kFormSolidBlock));
    }
    EXPECT_EQ(SolidBlockName(2), "setup.s02");
    EXPECT_TRUE(IsSolidBlockName("SETUP.S02") && IsSolidBlockName("setup.s123"));
    EXPECT_FALSE(IsSolidBlockName("setup.s1") || IsSolidBlockName("setup.sum") || IsSolidBlockName("x\setup.s01"));
    // A block is not a payload of its own, nor a member file a payload.
    Bytes out;
    EXPECT_FALSE(DecodeLzmaBuffer(files["setup.s01"].data(), files["setup.s01"].size(), out));

    std::map<std::string, int> reads;
    ExpandStatus readFails = ExpandStatus::kOk;
    SolidBlocks blocks([&](const std::string& name, Bytes& bytes) {
        ++reads[name];
        if (readFails != ExpandStatus::kOk) return readFails;
        if (!files.count(name)) return ExpandStatus::kDamaged;
        bytes = files[name];
        return ExpandStatus::kOk;
    });
    for (size_t i : {4u, 2u, 0u, 3u, 1u}) {
        Bytes file(kSolidMemberSize);
        WriteSolidMember(members[i], file.data());
        SolidMember read;
        ASSERT_TRUE(ReadSolidMember(file.data(), file.size(), read));
        EXPECT_EQ(StatedPayloadSize(file.data(), file.size()), parts[i].size());
        EXPECT_EQ(blocks.Expand(read, out), ExpandStatus::kOk) << i;
        EXPECT_EQ(out, parts[i]) << i;
    }
    EXPECT_EQ(reads["setup.s01"], 1);
    EXPECT_EQ(reads["setup.s02"], 1);
    EXPECT_EQ(blocks.Expand(members[3], out), ExpandStatus::kOk);
    EXPECT_EQ(out, parts[3]);
    EXPECT_EQ(reads["setup.s02"], 2);

    SolidMember beyond = members[4];
    beyond.size += 1;
    EXPECT_EQ(blocks.Expand(beyond, out), ExpandStatus::kDamaged);
    EXPECT_TRUE(out.empty());
    beyond = members[4];
    beyond.offset = ~uint64_t(0);
    EXPECT_EQ(blocks.Expand(beyond, out), ExpandStatus::kDamaged);
    EXPECT_EQ(blocks.Expand(members[4], out), ExpandStatus::kDamaged);  // the block is damaged for good

    files["setup.s01"][files["setup.s01"].size() / 2] ^= 0x20;
    SolidBlocks changed([&](const std::string& name, Bytes& bytes) {
        ++reads[name];
        if (readFails != ExpandStatus::kOk) return readFails;
        bytes = files[name];
        return ExpandStatus::kOk;
    });
    readFails = ExpandStatus::kReadFailed;
    EXPECT_EQ(changed.Expand(members[0], out), ExpandStatus::kReadFailed);
    readFails = ExpandStatus::kOk;
    bool damaged = false;
    for (size_t i = 0; i < 3; ++i) damaged |= changed.Expand(members[i], out) == ExpandStatus::kDamaged;
    EXPECT_TRUE(damaged);
    EXPECT_EQ(changed.Expand(members[3], out), ExpandStatus::kOk);  // the other block is whole

    SolidBlocks none([](const std::string&, Bytes&) { return ExpandStatus::kDamaged; });
    EXPECT_EQ(none.Expand(members[0], out), ExpandStatus::kDamaged);
}
