#include "expand/lzhuf_encode.h"

#include "expand/lzhuf_model.h"
#include "expand/lzhuf_scheme.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

namespace {

constexpr int kMinHashBits = 10;
constexpr int kMaxHashBits = 15;

// Hash table size for an input: no larger than the input needs.
int HashBitsFor(size_t size) {
    int bits = kMinHashBits;
    while (bits < kMaxHashBits && (size_t(1) << bits) < size)
        ++bits;
    return bits;
}
constexpr int kWindowMask = kRingSize - 1;
// The data is matched in one linear buffer that starts with the decoder's
// start-up ring: 60 zero bytes (ring positions 4036..4095, which a conforming
// stream never reads before writing them) and 4036 spaces (ring positions
// 0..4035), then the data itself.
constexpr int kUnusable = kRingSize - kRingPreset;
constexpr int kDataStart = kRingSize;
constexpr size_t kTailPadding = 8;

// Positions in the linear buffer; 64 bits because the data may be close to 2 GB.
using Pos = int64_t;

struct Match {
    int length = 0;
    int distance = 0;   // 1..4096 bytes behind the current position
};

class Encoder {
public:
    Encoder(const uint8_t* data, size_t size, std::vector<uint8_t>& out, const LzhufEncodeOptions& options)
        : m_size(static_cast<Pos>(size)), m_options(options), m_writer(out),
          m_buffer(new uint8_t[kDataStart + size + kTailPadding]), m_hashBits(HashBitsFor(size)), m_head(new Pos[size_t(1) << m_hashBits]) {
        uint8_t* b = m_buffer.get();
        std::memset(b, 0, kUnusable);
        std::memset(b + kUnusable, ' ', kRingPreset);
        if (size > 0)
            std::memcpy(b + kDataStart, data, size);
        std::memset(b + kDataStart + size, 0, kTailPadding);
        std::fill(m_head.get(), m_head.get() + (size_t(1) << m_hashBits), -1);
        m_inserted = kUnusable;
    }

    void Run();

private:
    unsigned Hash(Pos pos) const {
        const uint8_t* p = m_buffer.get() + pos;
        const uint32_t v = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
        return (v * 2654435761u) >> (32 - m_hashBits);
    }
    // Enters every position before end into the hash chains.
    void InsertUpTo(Pos end) {
        for (; m_inserted < end; ++m_inserted) {
            const unsigned h = Hash(m_inserted);
            m_prev[m_inserted & kWindowMask] = m_head[h];
            m_head[h] = m_inserted;
        }
    }
    int MatchLength(Pos candidate, Pos pos, int limit) const;
    Match FindMatch(Pos pos);

    const Pos m_size;
    const LzhufEncodeOptions m_options;
    LzhufSymbolWriter m_writer;
    std::unique_ptr<uint8_t[]> m_buffer;
    const int m_hashBits;
    std::unique_ptr<Pos[]> m_head;
    Pos m_prev[kRingSize];
    Pos m_inserted;
};

int Encoder::MatchLength(Pos candidate, Pos pos, int limit) const {
    const uint8_t* a = m_buffer.get() + candidate;
    const uint8_t* b = m_buffer.get() + pos;
    int n = 0;
    while (n + 8 <= limit) {
        uint64_t x, y;
        std::memcpy(&x, a + n, 8);
        std::memcpy(&y, b + n, 8);
        if (x != y) {
#if defined(__GNUC__) && (__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__)
            return n + (__builtin_ctzll(x ^ y) >> 3);
#else
            break;
#endif
        }
        n += 8;
    }
    while (n < limit && a[n] == b[n])
        ++n;
    return n;
}

// The longest match for the data at pos among the last 4096 positions; of
// equally long ones the nearest, whose position code is shortest.
Match Encoder::FindMatch(Pos pos) {
    Match best;
    const int limit = int(std::min<Pos>(kMaxMatch, kDataStart + m_size - pos));
    if (limit < kMinMatch)
        return best;
    InsertUpTo(pos);
    int bestLength = kMinMatch - 1;
    Pos candidate = m_head[Hash(pos)];
    const uint8_t* const b = m_buffer.get();
    for (int chain = m_options.maxChain; candidate >= 0 && pos - candidate <= kRingSize && chain > 0; --chain) {
        if (b[candidate + bestLength] == b[pos + bestLength]) {
            const int length = MatchLength(candidate, pos, limit);
            if (length > bestLength) {
                bestLength = length;
                best.length = length;
                best.distance = int(pos - candidate);
                if (length == limit)
                    break;
            }
        }
        const Pos next = m_prev[candidate & kWindowMask];
        if (next >= candidate)
            break;
        candidate = next;
    }
    return best;
}

void Encoder::Run() {
    const Pos end = kDataStart + m_size;
    Pos pos = kDataStart;
    Match match = FindMatch(pos);
    while (pos < end) {
        if (match.length < kMinMatch) {
            m_writer.Literal(m_buffer[pos]);
            match = FindMatch(++pos);
            continue;
        }
        if (m_options.lazy && match.length < kMaxMatch) {
            const Match next = FindMatch(pos + 1);
            if (next.length > match.length) {
                m_writer.Literal(m_buffer[pos]);
                ++pos;
                match = next;
                continue;
            }
        }
        m_writer.Match(match.length, match.distance);
        pos += match.length;
        match = FindMatch(pos);
    }
    m_writer.Finish();
}

}  // namespace

void LzhufSymbolWriter::Symbol(unsigned symbol) {
    // The code is the path from the root to the leaf; a node with an odd
    // number is the second child of its parent.  Collected from the leaf up.
    uint32_t code = 0;
    unsigned length = 0;
    for (unsigned c = m_model.parent[symbol + kNodes]; c != kRoot; c = m_model.parent[c]) {
        code |= (c & 1u) << length;
        ++length;
    }
    Put(code, length);
    m_model.Update(symbol);
}

void LzhufSymbolWriter::Match(int length, int distance) {
    Symbol(unsigned(MatchSymbol(length)));
    const unsigned p = unsigned(distance - 1);
    const unsigned upper = p >> 6;
    const unsigned codeLength = unsigned(PositionCodeLength(int(upper)));
    Put((uint32_t(kPositionTables.code[upper]) << 6) | (p & 63), codeLength + 6);
}

void LzhufSymbolWriter::Finish() {
    while (m_count >= 8) {
        m_count -= 8;
        m_out.push_back(static_cast<uint8_t>(m_acc >> m_count));
    }
    if (m_count > 0)
        m_out.push_back(static_cast<uint8_t>(m_acc << (8 - m_count)));
    m_count = 0;
}

bool EncodeLzhuf(const uint8_t* data, size_t size, std::vector<uint8_t>& file, const LzhufEncodeOptions& options) {
    file.clear();
    if (size > size_t(std::numeric_limits<int32_t>::max()))
        return false;
    const uint32_t n = static_cast<uint32_t>(size);
    file = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
    file.reserve(size / 2 + 64);
    if (size > 0) {
        Encoder encoder(data, size, file, options);
        encoder.Run();
    }
    return true;
}
