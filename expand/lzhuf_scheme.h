// Constants and fixed tables of the LZHUF payload format.
//
// A payload file is a 4-byte little-endian signed size followed by a bit stream,
// most significant bit of each byte first.  The stream is LZSS over a 4096-byte
// ring: literals and match lengths share one adaptive Huffman code of 314 symbols
// (see lzhuf_model.h); a match position is coded as a fixed prefix code for its
// upper six bits followed by its lower six bits as they are.
#pragma once

#include <cstdint>

constexpr int kRingSize = 4096;                       // ring buffer; positions are taken modulo this
constexpr int kMaxMatch = 60;                         // longest match
constexpr int kMinMatch = 3;                          // shortest match; shorter repeats are literals
constexpr int kRingPreset = kRingSize - kMaxMatch;    // 4036: ring positions preset to spaces, first write position
constexpr int kSymbols = 256 + kMaxMatch - kMinMatch + 1;   // 314: bytes 0..255, then lengths 3..60
constexpr int kNodes = 2 * kSymbols - 1;              // 627 nodes of the Huffman tree
constexpr int kRoot = kNodes - 1;                     // 626
constexpr unsigned kRescaleLimit = 0x8000;            // root count at which the tree is rebuilt
constexpr int kHeaderSize = 4;

// Symbol of a match of length n, and the length of a match symbol.
constexpr int MatchSymbol(int length) { return 256 + length - kMinMatch; }
constexpr int MatchLength(int symbol) { return symbol - 256 + kMinMatch; }

// Length in bits of the prefix code of the upper six bits u of a match position.
// Small u (near matches) get short codes: 3 bits for u = 0 up to 8 bits for u >= 48.
constexpr int PositionCodeLength(int upper) {
    return upper < 1 ? 3 : upper < 4 ? 4 : upper < 12 ? 5 : upper < 24 ? 6 : upper < 48 ? 7 : 8;
}

// The decoding tables are indexed by the next 8 bits of the stream.  Every upper
// value u owns the 2^(8 - L(u)) consecutive indexes that begin with its code, in
// ascending order of u from index 0: 32 entries for 0, 16 each for 1..3, 8 each
// for 4..11, 4 each for 12..23, 2 each for 24..47 and 1 each for 48..63.  So the
// code of u is simply its first index shifted right by 8 - L(u).
struct LzhufPositionTables {
    uint8_t upper[256];        // upper six bits of the position
    uint8_t codeLength[256];   // length of the prefix code the 8 bits begin with (3..8)
    uint8_t code[64];          // the prefix code of each upper value, right-aligned (encoder side)
};

constexpr LzhufPositionTables MakePositionTables() {
    LzhufPositionTables t{};
    int index = 0;
    for (int u = 0; u < 64; ++u) {
        const int length = PositionCodeLength(u);
        t.code[u] = static_cast<uint8_t>(index >> (8 - length));
        for (int k = 0; k < (1 << (8 - length)); ++k, ++index) {
            t.upper[index] = static_cast<uint8_t>(u);
            t.codeLength[index] = static_cast<uint8_t>(length);
        }
    }
    return t;
}

inline constexpr LzhufPositionTables kPositionTables = MakePositionTables();
static_assert(kPositionTables.upper[255] == 63, "the position codes fill exactly 256 indexes");
