#include "expand/lzhuf_decode.h"

#include "expand/lzhuf_model.h"
#include "expand/lzhuf_scheme.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

constexpr size_t kInputBlock = size_t(1) << 16;
constexpr size_t kMaxOutputBlock = size_t(1) << 18;
// Room behind the output block: a match that starts just before the flush
// point, copied in whole 16-byte pieces.
constexpr size_t kOutputSlack = 64;

// Position decoding folded into one table: for the next 8 bits, the upper six
// bits of the position already shifted into place, and the number of bits the
// whole position code takes (prefix code plus six lower bits).
struct PositionStep {
    uint16_t upper;
    uint8_t bits;
};

constexpr auto MakePositionSteps() {
    struct Steps { PositionStep step[256]; } s{};
    for (int i = 0; i < 256; ++i) {
        s.step[i].upper = static_cast<uint16_t>(kPositionTables.upper[i] << 6);
        s.step[i].bits = static_cast<uint8_t>(kPositionTables.codeLength[i] + 6);
    }
    return s;
}
constexpr auto kPositionSteps = MakePositionSteps();

uint64_t LoadBigEndian64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
#if defined(__GNUC__)
    return __builtin_bswap64(v);
#else
    uint64_t r = 0;
    for (int k = 0; k < 8; ++k)
        r = (r << 8) | p[k];
    return r;
#endif
}

class Decoder {
public:
    Decoder(LzhufSource& source, LzhufSink& sink, LzhufEnd end)
        : m_source(source), m_sink(sink), m_stopAtEnd(end == LzhufEnd::Stop),
          m_input(new uint8_t[kInputBlock]) {
        m_in = m_inEnd = m_input.get();
    }

    LzhufDecodeResult Run(int32_t size);

private:
    // The bit buffer holds m_count unread bits at its top, most significant
    // first; the bits below them are zero or the stream's next bits.  Refill
    // brings it to at least 56 bits, enough for any symbol code (21 bits at
    // most) plus a position (14 bits).
    void Refill() {
        if (m_inEnd - m_in < 8)
            FillInput();
        m_bits |= LoadBigEndian64(m_in) >> m_count;
        m_in += (63 - m_count) >> 3;
        m_count |= 56;
    }
    void FillInput();
    // Whether the bits taken so far, with count bits still unread in the
    // buffer, reach beyond the end of the input.
    bool PastEndWith(unsigned count) const {
        return m_exhausted && (m_inBase + uint64_t(m_in - m_input.get())) * 8 - count > m_inputBytes * 8;
    }
    bool PastEnd() const { return PastEndWith(m_count); }
    unsigned DecodeSymbolSlow(unsigned c);

    LzhufSource& m_source;
    LzhufSink& m_sink;
    const bool m_stopAtEnd;
    LzhufModel m_model;

    uint64_t m_bits = 0;
    unsigned m_count = 0;
    std::unique_ptr<uint8_t[]> m_input;
    const uint8_t* m_in;
    const uint8_t* m_inEnd;
    uint64_t m_inBase = 0;       // stream offset of the start of m_input
    bool m_exhausted = false;
    uint64_t m_inputBytes = 0;   // length of the stream, once m_exhausted

    // Linear output: the last 4096 bytes before m_output + kRingSize stand for
    // the ring, so a match reads straight behind the write position.  The
    // block is no larger than the stated size needs.
    std::unique_ptr<uint8_t[]> m_output;
};

// Moves the unread rest of the input block to its front and fills the block
// up; past the end of the stream it fills with zero bytes.
void Decoder::FillInput() {
    uint8_t* const block = m_input.get();
    const size_t rest = static_cast<size_t>(m_inEnd - m_in);
    std::memmove(block, m_in, rest);
    m_inBase += static_cast<uint64_t>(m_in - block);
    uint8_t* end = block + rest;
    while (!m_exhausted && end < block + kInputBlock) {
        const size_t n = m_source.Read(end, static_cast<size_t>(block + kInputBlock - end));
        if (n == 0) {
            m_exhausted = true;
            m_inputBytes = m_inBase + static_cast<uint64_t>(end - block);
        }
        end += n;
    }
    if (m_exhausted) {
        std::memset(end, 0, static_cast<size_t>(block + kInputBlock - end));
        end = block + kInputBlock;
    }
    m_in = block;
    m_inEnd = end;
}

unsigned Decoder::DecodeSymbolSlow(unsigned c) {
    const uint16_t* const child = m_model.child;
    while (c < kNodes) {
        if (m_count == 0)
            Refill();
        c = child[c + unsigned(m_bits >> 63)];
        m_bits <<= 1;
        --m_count;
    }
    Refill();
    const unsigned symbol = c - kNodes;
    m_model.Update(symbol);
    return symbol;
}

LzhufDecodeResult Decoder::Run(int32_t size) {
    LzhufDecodeResult result;
    if (size <= 0)
        return result;

    m_model.Reset();
    const size_t block = std::min(kMaxOutputBlock, size_t(size));
    m_output.reset(new uint8_t[kRingSize + block + kOutputSlack]());
    uint8_t* const start = m_output.get() + kRingSize;
    std::memset(m_output.get(), 0, kRingSize - kRingPreset);   // ring positions 4036..4095
    std::memset(m_output.get() + (kRingSize - kRingPreset), ' ', kRingPreset);   // ring positions 0..4035
    uint8_t* out = start;
    uint64_t flushed = 0;

    for (;;) {
        const uint64_t done = flushed + uint64_t(out - start);
        if (done >= uint64_t(size) || (m_stopAtEnd && PastEnd()))
            break;
        if (out >= start + block) {
            if (!m_sink.Write(start, size_t(out - start))) {
                result.sinkFailed = true;
                result.written = flushed;
                return result;
            }
            flushed += uint64_t(out - start);
            std::memmove(m_output.get(), out - kRingSize, kRingSize);
            out = start;
        }
        // Decode without further checks until the block is full or the size is
        // reached.  The bit buffer lives in locals here.
        uint8_t* const stop = out + std::min<uint64_t>(uint64_t(size) - done, uint64_t(start + block - out));
        uint64_t bits = m_bits;
        unsigned count = m_count;
        const uint16_t* const child = m_model.child;
        const uint16_t* const grand = &m_model.grand[0][0];
        while (out < stop) {
            if (count < 56) {
                if (m_inEnd - m_in < 8)
                    FillInput();
                if (m_stopAtEnd && m_exhausted && PastEndWith(count))
                    break;
                bits |= LoadBigEndian64(m_in) >> count;
                m_in += (63 - count) >> 3;
                count |= 56;
            }
            const uint64_t bitsBefore = bits;
            // No leaf lies more than kSymbols - 1 levels down, so the walk
            // stays inside this array whatever the tree; the model's own
            // bound is checked after it.
            uint16_t path[kSymbols + 1];
            uint16_t* p = path;
            unsigned c = child[kRoot];
            for (;;) {
                // Two levels per step: the child of the node the first bit
                // picks and the grandchild the second bit picks are loaded
                // side by side.  With node = c + first bit, the grandchild
                // entry grand[node][second bit] is flat entry 2 * c + both bits.
                const unsigned top = unsigned(bits >> 62);
                const unsigned node = c + (top >> 1);
                const unsigned next = child[node];
                const unsigned after = grand[2 * c + top];
                p[0] = static_cast<uint16_t>(node);
                if (next >= kNodes) {
                    bits <<= 1;
                    p += 1;
                    c = next;
                    break;
                }
                p[1] = static_cast<uint16_t>(next + (top & 1));
                bits <<= 2;
                p += 2;
                c = after;
                if (c >= kNodes)
                    break;
            }
            const unsigned depth = unsigned(p - path);
            if (depth > unsigned(LzhufModel::kMaxCodeLength)) {
                // Deeper than the model's bound allows, past the bits at hand;
                // stay exact anyway.
                m_bits = bitsBefore;
                m_count = count;
                c = DecodeSymbolSlow(child[kRoot]);
                bits = m_bits;
                count = m_count;
            } else {
                count -= depth;
                c -= kNodes;
                m_model.UpdateAlong(c, path, depth);
            }
            if (c < 256) {
                *out++ = static_cast<uint8_t>(c);
                continue;
            }
            const unsigned n = unsigned(MatchLength(int(c)));
            const PositionStep step = kPositionSteps.step[bits >> 56];
            const unsigned distance = (step.upper | (unsigned(bits >> (64 - step.bits)) & 63)) + 1;
            bits <<= step.bits;
            count -= step.bits;
            const uint8_t* src = out - distance;
            if (distance >= 16 || distance >= n) {
                // Whole 16-byte pieces: every piece reads only bytes that are final
                // (at least 16 behind) or that lie before this match's own output.
                for (unsigned k = 0; k < n; k += 16) {
                    uint8_t piece[16];
                    std::memcpy(piece, src + k, 16);
                    std::memcpy(out + k, piece, 16);
                }
            } else if (distance == 1) {
                std::memset(out, src[0], n);   // a run of one byte, such as zero padding
            } else {
                for (unsigned k = 0; k < n; ++k)
                    out[k] = src[k];
            }
            out += n;
        }
        m_bits = bits;
        m_count = count;
    }
    const size_t tail = size_t(out - start);
    if (tail > 0 && !m_sink.Write(start, tail)) {
        result.sinkFailed = true;
        result.written = flushed;
        return result;
    }
    result.written = flushed + tail;
    result.pastEnd = PastEnd();
    return result;
}

class MemorySource : public LzhufSource {
public:
    MemorySource(const uint8_t* data, size_t length) : m_data(data), m_left(length) {}
    size_t Read(uint8_t* buffer, size_t size) override {
        const size_t n = std::min(size, m_left);
        if (n > 0)
            std::memcpy(buffer, m_data, n);
        m_data += n;
        m_left -= n;
        return n;
    }

private:
    const uint8_t* m_data;
    size_t m_left;
};

class VectorSink : public LzhufSink {
public:
    explicit VectorSink(std::vector<uint8_t>& output) : m_output(output) {}
    bool Write(const uint8_t* data, size_t size) override {
        m_output.insert(m_output.end(), data, data + size);
        return true;
    }

private:
    std::vector<uint8_t>& m_output;
};

}  // namespace

int32_t ReadLzhufHeader(const uint8_t* header) {
    const uint32_t v = uint32_t(header[0]) | uint32_t(header[1]) << 8 | uint32_t(header[2]) << 16 |
                       uint32_t(header[3]) << 24;
    return static_cast<int32_t>(v);
}

LzhufDecodeResult DecodeLzhufStream(int32_t size, LzhufSource& source, LzhufSink& sink, LzhufEnd end) {
    Decoder decoder(source, sink, end);
    return decoder.Run(size);
}

bool DecodeLzhufBuffer(const uint8_t* file, size_t length, std::vector<uint8_t>& output,
                       LzhufDecodeResult* result, LzhufEnd end) {
    if (length < kHeaderSize)
        return false;
    MemorySource source(file + kHeaderSize, length - kHeaderSize);
    VectorSink sink(output);
    const LzhufDecodeResult r = DecodeLzhufStream(ReadLzhufHeader(file), source, sink, end);
    if (result)
        *result = r;
    return true;
}
