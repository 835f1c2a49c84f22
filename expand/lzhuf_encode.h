// Encoder of the LZHUF payload format (see lzhuf_scheme.h): it runs the same
// model as the decoder and adds nothing to the format, so any decoder of the
// scheme reads its output.
#pragma once

#include "expand/lzhuf_model.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Codes the symbols of one stream with the adaptive model and packs the bits,
// most significant first, behind what out already holds.
class LzhufSymbolWriter {
public:
    explicit LzhufSymbolWriter(std::vector<uint8_t>& out) : m_out(out) { m_model.Reset(); }

    void Literal(uint8_t byte) { Symbol(byte); }
    // A copy of length bytes (3..60) from distance bytes back (1..4096).
    void Match(int length, int distance);
    // Writes the last bits, padded with zero bits to a whole byte.
    void Finish();

private:
    void Symbol(unsigned symbol);
    // Appends the low n bits of value (n <= 32).
    void Put(uint32_t value, unsigned n) {
        m_acc = (m_acc << n) | value;
        m_count += n;
        if (m_count >= 32) {
            m_count -= 32;
            const uint32_t word = static_cast<uint32_t>(m_acc >> m_count);
            const uint8_t bytes[4] = {uint8_t(word >> 24), uint8_t(word >> 16), uint8_t(word >> 8), uint8_t(word)};
            m_out.insert(m_out.end(), bytes, bytes + 4);
        }
    }

    std::vector<uint8_t>& m_out;
    LzhufModel m_model;
    uint64_t m_acc = 0;
    unsigned m_count = 0;
};

struct LzhufEncodeOptions {
    int maxChain = 128;   // earlier positions with the same first three bytes tried per match search
    bool lazy = true;     // emit a literal instead of a match when the next position starts a longer one
};

// Compresses size bytes into a payload file: the 4-byte size, then the bit
// stream.  False, with file left empty, when size does not fit the header
// (more than 2^31 - 1 bytes).
bool EncodeLzhuf(const uint8_t* data, size_t size, std::vector<uint8_t>& file,
                 const LzhufEncodeOptions& options = {});
