// libFuzzer target: arbitrary bytes as an LZMA or an LZ4 payload (by the
// codec number its header gives; any other is LZMA's to refuse), through the
// ways the installer decodes one.
//
// Decoded whole in memory (a payload decoded ahead of the run) and streamed
// (one the run decodes into its file), the same bytes are accepted or
// refused alike, and an accepted one gives exactly its stated size. The file
// layer's entry point gives kOk for those and kDamaged for the rest, with or
// without a sum to check. And the bytes taken as data come back unchanged
// through encoder and decoder.
#include "expand/lzhuf_file.h"
#include "expand/lz4_payload.h"
#include "expand/lzma_payload.h"
#include "expand/solid_block.h"
#include "fuzz/fuzz_support.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// The header may state up to 2^64 bytes; the fuzzer keeps the work per
// input small by stating at most this many (and so does the dictionary).
constexpr uint64_t kMaxSize = uint64_t(1) << 16;

class MemorySource : public LzhufSource {
public:
    MemorySource(const uint8_t* data, size_t size) : m_data(data), m_left(size) {}
    size_t Read(uint8_t* buffer, size_t size) override {
        size = std::min(size, m_left);
        if (size) std::memcpy(buffer, m_data, size);
        m_data += size;
        m_left -= size;
        return size;
    }

private:
    const uint8_t* m_data;
    size_t m_left;
};

class CollectSink : public LzhufSink {
public:
    bool Write(const uint8_t* data, size_t size) override {
        bytes.insert(bytes.end(), data, data + size);
        return true;
    }
    std::vector<uint8_t> bytes;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> file(data, data + size);
    const bool lz4 = PayloadCodecOf(file.data(), file.size()) == PayloadCodec::kLz4;
    const size_t headerSize = lz4 ? kLz4HeaderSize : kLzmaHeaderSize;
    uint64_t stated = 0;
    if (file.size() >= headerSize && StatedPayloadSize(file.data(), file.size()) > kMaxSize) {
        ReadCodecHeader(file.data(), file[4], stated);
        stated %= kMaxSize + 1;
        WriteCodecHeader(file[4], stated, file.data());
    }
    stated = StatedPayloadSize(file.data(), file.size());

    std::vector<uint8_t> whole;
    const bool accepted = lz4 ? DecodeLz4Buffer(file.data(), file.size(), whole)
                              : DecodeLzmaBuffer(file.data(), file.size(), whole);
    Check(accepted || whole.empty(), "a refused payload left bytes");
    Check(!accepted || whole.size() == stated, "an accepted payload is not its stated size");
    if (file.size() >= headerSize) {
        MemorySource source(file.data() + headerSize, file.size() - headerSize);
        CollectSink sink;
        const CodecDecodeResult streamed =
            lz4 ? DecodeLz4Stream(file.data(), source, sink) : DecodeLzmaStream(file.data(), source, sink);
        Check(streamed.refused == !accepted, "the stream and the whole payload disagree");
        Check(!accepted || sink.bytes == whole, "the stream gave other bytes");
        Check(streamed.written == sink.bytes.size(), "the count of bytes written is wrong");
    }

    // The installer's entry point, with the sum of what was accepted and
    // without a sum. (A payload without the codec's magic is LZHUF's.)
    if (file.size() >= 4 && HasCodecMagic(file.data())) {
        SumEntry expected{"p", whole.size(), {}};
        Check(HashBytes(whole.data(), whole.size(), expected.sha256), "cannot hash");
        const SumEntry* const sums[] = {&expected, nullptr};
        for (const SumEntry* sum : sums) {
            DecodedPayload payload;
            DecodeLzhufBytes(file, payload, LzhufEnd::ZeroBits, sum);
            Check(payload.status == (accepted ? ExpandStatus::kOk : ExpandStatus::kDamaged), "wrong status");
            Check(payload.bytes == (accepted ? whole : std::vector<uint8_t>()), "wrong bytes");
        }
    }

    // As a solid block (its header's size kept small, as above), split where
    // the last byte says: the members give what the whole block gives there
    // (the decoder may give a refused block's first member before it meets
    // the damage), and one beyond it is refused.
    if (!lz4 && file.size() >= kLzmaHeaderSize && HasCodecMagic(file.data())) {
        std::vector<uint8_t> block = file;
        uint64_t size = 0;
        for (int i = 13; i >= 6; --i) size = (size << 8) | block[size_t(i)];
        size %= kMaxSize + 1;
        WriteCodecHeader(kLzmaCodecId, size, block.data(), kFormSolidBlock);
        std::vector<uint8_t> expansion;
        const bool whole = DecodeLzmaBuffer(block.data(), block.size(), expansion, kFormSolidBlock);
        // (The next block, which the blocks decode ahead, is not there.)
        SolidBlocks blocks([&block](const std::string& name, std::vector<uint8_t>& bytes) {
            if (name != SolidBlockName(1)) return ExpandStatus::kDamaged;
            bytes = block;
            return ExpandStatus::kOk;
        });
        const uint64_t split = file.back() % (size + 1);
        const SolidMember members[] = {{1, 0, split}, {1, split, size - split}, {1, split, size - split + 1}};
        for (size_t i = 0; i < 3; ++i) {
            std::vector<uint8_t> out;
            const ExpandStatus status = blocks.Expand(members[i], out);
            if (members[i].size == 0)
                Check(status == ExpandStatus::kOk && out.empty(), "an empty member failed");
            else if (i == 2)
                Check(status == ExpandStatus::kDamaged, "a member beyond its block was given");
            else if (whole)
                Check(status == ExpandStatus::kOk && out.size() == members[i].size &&
                          std::equal(out.begin(), out.end(), expansion.begin() + long(members[i].offset)),
                      "a member is not its part of the block");
            else
                Check(status != ExpandStatus::kOk || i == 0, "a refused block gave its last member");
        }
    }

    // Round trips, LZMA's with a small dictionary that the decoder's ring
    // goes round; for one input in eight (by its first byte): setting the
    // encoders up takes far longer than decoding.
    if (size > 0 && size <= 4096 && data[0] % 8 == 0) {
        std::vector<uint8_t> packed, unpacked;
        Check(EncodeLzma(data, size, packed, 1024), "encoding failed");
        Check(DecodeLzmaBuffer(packed.data(), packed.size(), unpacked) &&
                  unpacked == std::vector<uint8_t>(data, data + size),
              "the round trip changed the bytes");
        std::vector<uint8_t> filtered(data, data + size);
        X86Filter(filtered.data(), filtered.size(), true);
        X86Filter(filtered.data(), filtered.size(), false);
        Check(filtered == std::vector<uint8_t>(data, data + size), "the x86 filter changed the bytes");
        Check(EncodeLz4(data, size, packed), "encoding failed");
        Check(DecodeLz4Buffer(packed.data(), packed.size(), unpacked) &&
                  unpacked == std::vector<uint8_t>(data, data + size),
              "the LZ4 round trip changed the bytes");
    }
    return 0;
}
