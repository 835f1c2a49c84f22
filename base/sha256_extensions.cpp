#include "base/sha256_extensions.h"

#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#define SETUP_SHA_EXTENSIONS 1
#endif

namespace {

#ifdef SETUP_SHA_EXTENSIONS
constexpr uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

// SHA-256's compression of |blocks| 64-byte blocks into |state| (a to h).
// The extensions keep the state as ABEF and CDGH, and take the message four
// words at a time: rounds go in fours, two sha256rnds2 each.
// (force_align_arg_pointer: a 32-bit Windows thread's stack is aligned to 4
// bytes only, and the 16-byte values here may live on it.)
__attribute__((target("sha,sse4.1,ssse3"), force_align_arg_pointer)) void CompressBlocks(uint32_t state[8],
                                                                                       const uint8_t* data,
                                                                                       size_t blocks) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0]));
    __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4]));
    const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
    const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);
    for (; blocks > 0; --blocks, data += 64) {
        const __m128i abefBefore = abef, cdghBefore = cdgh;
        __m128i words[4];  // the message schedule's last 16 words, four to an entry
        for (int group = 0; group < 16; ++group) {
            __m128i& w = words[group % 4];
            if (group < 4) {
                w = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * group)), byteSwap);
            } else {
                // W[i] from W[i-16], W[i-15], W[i-7] and W[i-2]: the four
                // words of group - 4 are the ones this group replaces.
                const __m128i& previous = words[(group + 3) % 4];
                __m128i next = _mm_sha256msg1_epu32(w, words[(group + 1) % 4]);
                next = _mm_add_epi32(next, _mm_alignr_epi8(previous, words[(group + 2) % 4], 4));
                w = _mm_sha256msg2_epu32(next, previous);
            }
            __m128i message =
                _mm_add_epi32(w, _mm_loadu_si128(reinterpret_cast<const __m128i*>(&kRoundConstants[4 * group])));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, message);
            message = _mm_shuffle_epi32(message, 0x0E);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, message);
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }
    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    dcba = _mm_blend_epi16(feba, dchg, 0xF0);
    hgfe = _mm_alignr_epi8(dchg, feba, 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), dcba);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), hgfe);
}

bool AskCpu() {
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_SSSE3) || !(c & bit_SSE4_1)) return false;
    return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & bit_SHA);
}
#else
void CompressBlocks(uint32_t*, const uint8_t*, size_t) {}
bool AskCpu() { return false; }
#endif

}  // namespace

bool CpuHasShaExtensions() {
    static const bool has = AskCpu();
    return has;
}

ShaExtensionsHash::ShaExtensionsHash()
    : m_state{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {}

void ShaExtensionsHash::Update(const void* data, size_t size) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    m_length += size;
    if (m_used > 0) {
        const size_t part = size < 64 - m_used ? size : 64 - m_used;
        std::memcpy(m_block + m_used, bytes, part);
        m_used += part;
        bytes += part;
        size -= part;
        if (m_used < 64) return;
        CompressBlocks(m_state, m_block, 1);
        m_used = 0;
    }
    CompressBlocks(m_state, bytes, size / 64);
    bytes += size - size % 64;
    m_used = size % 64;
    if (m_used) std::memcpy(m_block, bytes, m_used);
}

void ShaExtensionsHash::Finish(uint8_t digest[32]) {
    // A 1 bit, zeros, and the length in bits (big-endian) at the end of the
    // last block.
    const uint64_t bits = m_length * 8;
    uint8_t tail[72] = {0x80};
    const size_t pad = (m_used < 56 ? 56 : 120) - m_used;
    for (int i = 0; i < 8; ++i)
        tail[pad + size_t(i)] = uint8_t(bits >> (56 - 8 * i));
    Update(tail, pad + 8);
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 4; ++j)
            digest[4 * i + j] = uint8_t(m_state[i] >> (24 - 8 * j));
}
