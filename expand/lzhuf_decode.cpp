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
        m_bits.in = m_inEnd = m_input.get();
    }

    LzhufDecodeResult Run(int32_t size);

private:
    // The bit buffer is two words.  hi holds the next 64 bits of the stream,
    // most significant first; lo holds the low bits after them at its top
    // (the bits below those are zero or the stream's next bits), and in is
    // the input byte that follows them.  A symbol takes at most 35 bits (a
    // code of 21 bits at most and a position of 14) from the top of hi, whose
    // low end is then filled from lo; lo is topped up from the input before
    // each symbol.  So the bits of the next symbol never wait for a load.
    struct BitState {
        uint64_t hi;
        uint64_t lo;
        unsigned low;
        const uint8_t* in;

        // Brings lo to 56 bits or more; needs 8 readable bytes at in.
        void TopUp() {
            lo |= LoadBigEndian64(in) >> low;
            in += (63 - low) >> 3;
            low |= 56;
        }
        // hi has just been shifted left by n (1..56, no more than low):
        // fills its low end with the next n bits.
        void Follow(unsigned n) {
            hi |= lo >> (64 - n);
            lo <<= n;
            low -= n;
        }
    };
    // Enough input ahead of the read position for a symbol however deep,
    // with its top-up: a code is at most kSymbols - 1 bits.
    static constexpr ptrdiff_t kInputMargin = (kSymbols + 64) / 8 + 16;

    void FillInput();
    // Bits of the stream taken so far.
    uint64_t Taken(const BitState& b) const {
        return (m_inBase + uint64_t(b.in - m_input.get())) * 8 - b.low - 64;
    }
    // Whether the bits taken so far reach beyond the end of the input.
    bool PastEnd(const BitState& b) const { return m_exhausted && Taken(b) > m_inputBytes * 8; }
    unsigned DecodeSymbolSlow(BitState& b);
    uint8_t* StartOutput(int32_t size);
    void StartBits();
    bool FlushBlock(uint8_t* start, uint8_t* out);
    const uint8_t* SureInputLimit(const uint8_t* inLimit) const;
    uint8_t* DecodeBlock(uint8_t* out, uint8_t* stop, const uint8_t* inLimit, const uint8_t* inSure);

    LzhufSource& m_source;
    LzhufSink& m_sink;
    const bool m_stopAtEnd;
    LzhufModel m_model;

    BitState m_bits{};
    std::unique_ptr<uint8_t[]> m_input;
    const uint8_t* m_inEnd;
    uint64_t m_inBase = 0;       // stream offset of the start of m_input
    bool m_exhausted = false;
    uint64_t m_inputBytes = 0;   // length of the stream, once m_exhausted

    // Linear output: the last 4096 bytes before m_output + kRingSize stand for
    // the ring, so a match reads straight behind the write position.  The
    // block is no larger than the stated size needs.
    std::unique_ptr<uint8_t[]> m_output;
    size_t m_block = 0;   // the output block's size
};

// Moves the unread rest of the input block to its front and fills the block
// up; past the end of the stream it fills with zero bytes.
void Decoder::FillInput() {
    uint8_t* const block = m_input.get();
    const size_t rest = static_cast<size_t>(m_inEnd - m_bits.in);
    std::memmove(block, m_bits.in, rest);
    m_inBase += static_cast<uint64_t>(m_bits.in - block);
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
    m_bits.in = block;
    m_inEnd = end;
}

// A code deeper than the model allows: one bit at a time from the root.
unsigned Decoder::DecodeSymbolSlow(BitState& b) {
    const uint16_t* const child = m_model.child;
    unsigned c = child[kRoot];
    while (c < kNodes) {
        c = child[c + unsigned(b.hi >> 63)];
        b.hi <<= 1;
        b.Follow(1);
        if (b.low < 8)
            b.TopUp();
    }
    const unsigned symbol = c - kNodes;
    m_model.Update(symbol);
    return symbol;
}

// Sets up the output block for a stream of |size| bytes (> 0), the ring
// positions before it preset; returns the block's start.
uint8_t* Decoder::StartOutput(int32_t size) {
    m_block = std::min(kMaxOutputBlock, size_t(size));
    m_output.reset(new uint8_t[kRingSize + m_block + kOutputSlack]());
    std::memset(m_output.get(), 0, kRingSize - kRingPreset);   // ring positions 4036..4095
    std::memset(m_output.get() + (kRingSize - kRingPreset), ' ', kRingPreset);   // ring positions 0..4035
    return m_output.get() + kRingSize;
}

// Reads the first input block and loads the bit buffer from its start.
void Decoder::StartBits() {
    FillInput();
    m_bits.hi = LoadBigEndian64(m_bits.in);
    m_bits.lo = LoadBigEndian64(m_bits.in + 8);
    m_bits.low = 56;   // the eighth byte of lo is read again by the first top-up
    m_bits.in += 15;
}

// Gives the full output block to the sink and keeps its last kRingSize bytes
// in front of it, as the ring the next matches read from.
bool Decoder::FlushBlock(uint8_t* start, uint8_t* out) {
    if (!m_sink.Write(start, size_t(out - start)))
        return false;
    std::memmove(m_output.get(), out - kRingSize, kRingSize);
    return true;
}

// The read position up to which fewer bits than the stream has are taken:
// symbols read before it need no end-of-stream check.
const uint8_t* Decoder::SureInputLimit(const uint8_t* inLimit) const {
    if (m_stopAtEnd && m_exhausted) {
        const uint64_t sure = m_inputBytes + 8 - m_inBase;
        if (sure < uint64_t(inLimit - m_input.get()))
            return m_input.get() + sure;
    }
    return inLimit;
}

// Copies a match of |n| bytes from |distance| bytes behind |out|.
inline void CopyMatch(uint8_t* out, unsigned distance, unsigned n) {
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
}

LzhufDecodeResult Decoder::Run(int32_t size) {
    LzhufDecodeResult result;
    if (size <= 0)
        return result;

    m_model.Reset();
    uint8_t* const start = StartOutput(size);
    uint8_t* out = start;
    uint64_t flushed = 0;
    StartBits();

    for (;;) {
        const uint64_t done = flushed + uint64_t(out - start);
        if (done >= uint64_t(size) || (m_stopAtEnd && PastEnd(m_bits)))
            break;
        if (out >= start + m_block) {
            if (!FlushBlock(start, out)) {
                result.sinkFailed = true;
                result.written = flushed;
                return result;
            }
            flushed += uint64_t(out - start);
            out = start;
        }
        if (m_inEnd - m_bits.in < kInputMargin)
            FillInput();
        // Decode without further checks until the block is full, the size is
        // reached or the input block runs low.  When decoding is to stop at
        // the end of the stream, a symbol read from beyond inSure checks
        // first whether the stream has already run out.
        uint8_t* const stop = out + std::min<uint64_t>(uint64_t(size) - done, uint64_t(start + m_block - out));
        const uint8_t* const inLimit = m_inEnd - kInputMargin;
        out = DecodeBlock(out, stop, inLimit, SureInputLimit(inLimit));
    }
    const size_t tail = size_t(out - start);
    if (tail > 0 && !m_sink.Write(start, tail)) {
        result.sinkFailed = true;
        result.written = flushed;
        return result;
    }
    result.written = flushed + tail;
    result.pastEnd = PastEnd(m_bits);
    return result;
}

// The hot loop: decodes symbols into |out| until |stop|, or until the read
// position passes |inLimit| (or |inSure| with the stream run out); returns
// the new write position. One piece, so the bit buffer stays in registers.
uint8_t* Decoder::DecodeBlock(uint8_t* out, uint8_t* const stop, const uint8_t* const inLimit,
                              const uint8_t* const inSure) {
    BitState b = m_bits;
    const uint16_t* const child = m_model.child;
    const uint16_t* const grand = &m_model.grand[0][0];
    while (out < stop && b.in <= inLimit && (b.in <= inSure || !PastEnd(b))) {
        b.TopUp();
        const uint64_t hiBefore = b.hi;
        // No leaf lies more than kSymbols - 1 levels down, so the walk
        // stays inside this array whatever the tree; the model's own
        // bound is checked after it.
        uint16_t path[kSymbols + 1];
        uint16_t* p = path;
        unsigned c = child[kRoot];
        unsigned leaf;
        for (;;) {
            // Two levels per step: the child of the node the first bit
            // picks and the grandchild the second bit picks are loaded
            // side by side.  With node = c + first bit, the grandchild
            // entry grand[node][second bit] is flat entry 2 * c + both bits.
            const unsigned top = unsigned(b.hi >> 62);
            const unsigned node = c + (top >> 1);
            const unsigned next = child[node];
            const unsigned after = grand[2 * c + top];
            p[0] = static_cast<uint16_t>(node);
            if (next >= kNodes) {
                b.hi <<= 1;
                p += 1;
                c = next;
                leaf = node;
                break;
            }
            leaf = next + (top & 1);
            p[1] = static_cast<uint16_t>(leaf);
            b.hi <<= 2;
            p += 2;
            c = after;
            if (c >= kNodes)
                break;
        }
        const unsigned depth = unsigned(p - path);
        // The top of hi is final already; a position read from it need not
        // wait for the low end to be filled.
        uint64_t head = b.hi;
        if (depth > unsigned(LzhufModel::kMaxCodeLength)) {
            // Deeper than the model's bound allows, past the bits at hand;
            // stay exact anyway.
            b.hi = hiBefore;
            c = DecodeSymbolSlow(b);
            head = b.hi;
        } else {
            b.Follow(depth);
            c -= kNodes;
            m_model.UpdateAlong(c, path, depth, leaf);
        }
        if (c < 256) {
            *out++ = static_cast<uint8_t>(c);
            continue;
        }
        const unsigned n = unsigned(MatchLength(int(c)));
        const PositionStep step = kPositionSteps.step[head >> 56];
        const unsigned distance = (step.upper | (unsigned(head >> (64 - step.bits)) & 63)) + 1;
        b.hi <<= step.bits;
        b.Follow(step.bits);
        CopyMatch(out, distance, n);
        out += n;
    }
    m_bits = b;
    return out;
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
