// Payloads compressed with LZMA (the LZMA SDK's stream, third_party/lzma-sdk),
// the codec a publisher may choose instead of LZHUF. Win32-free.
//
// Such a payload starts with the codec header (payload_codec.h,
// docs/payload-codecs.md) with codec number 1, then:
//
//   offset  size  content
//   14      5     the LZMA properties (lc, lp, pb; dictionary size)
//   19      ...   the LZMA stream, without end marker, to the end of the file
//
// A payload is refused (damaged) when its header is not so, its properties
// ask for more than mksetup writes (lc + lp above 4, a dictionary above
// 64 MB), its stream is not valid LZMA, ends before the stated size is out,
// or has bytes left after it.
#pragma once

#include "expand/lzhuf_decode.h"
#include "expand/payload_codec.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

constexpr uint8_t kLzmaCodecId = 1;
constexpr size_t kLzmaHeaderSize = 19;
// The largest dictionary mksetup writes, and the most a payload may ask for.
constexpr uint32_t kLzmaMaxDictionary = uint32_t(1) << 26;

// The expanded size an LZMA header states; false when |header|
// (kLzmaHeaderSize bytes) is not an LZMA header this decoder reads.
bool ReadLzmaHeader(const uint8_t* header, uint64_t& size);

// Decodes the payload whose first kLzmaHeaderSize bytes are |header|; the
// stream's bytes come from |source|, to its end. The expansion goes to
// |sink| in blocks, through a dictionary of the stream's size at most.
CodecDecodeResult DecodeLzmaStream(const uint8_t* header, LzhufSource& source, LzhufSink& sink);

// Decodes a whole LZMA payload held in memory (header included) into
// |output|, which becomes the expansion (the dictionary is |output| itself).
// False when the payload is refused (|output| is then empty). Throws
// std::bad_alloc when the stated size does not fit in memory.
// A solid block (solid_block.h) is decoded so in |form| kFormSolidBlock.
bool DecodeLzmaBuffer(const uint8_t* file, size_t length, std::vector<uint8_t>& output,
                      PayloadForm form = kFormSingle);

// An LZMA payload held in memory, decoded as far as its reader needs at a
// time into a buffer of its whole expansion, which is the decoder's
// dictionary: DecodeLzmaBuffer at once, a solid block (solid_block.h) one
// member after another.
class LzmaBufferDecoder {
public:
    LzmaBufferDecoder();
    ~LzmaBufferDecoder();
    LzmaBufferDecoder(const LzmaBufferDecoder&) = delete;
    LzmaBufferDecoder& operator=(const LzmaBufferDecoder&) = delete;

    // Starts (once) on the payload |file| of |length| bytes (header
    // included), in |form|, which must stay where it is while the decoder
    // reads it. False when its header is refused. Throws std::bad_alloc when
    // the stated size does not fit in memory.
    bool Start(const uint8_t* file, size_t length, PayloadForm form = kFormSingle);
    // Decodes until |upTo| bytes (at most Size()) are out. False, now and
    // from then on, when the stream is refused on the way: it is not valid
    // LZMA, ends early, or (once Size() is reached) does not end there or
    // has bytes after it.
    bool DecodeTo(uint64_t upTo);
    uint64_t Size() const;
    uint64_t Decoded() const;
    // The expansion; its first Decoded() bytes are decoded.
    std::vector<uint8_t>& Bytes();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// Compresses |size| bytes into an LZMA payload (header and stream) in |file|,
// with a dictionary of |dictionary| bytes at most (4 KB to 64 MB; smaller
// ones make a ring the decoder goes round), its header in |form|. False,
// with |file| empty, when the encoder fails (out of memory).
bool EncodeLzma(const uint8_t* data, size_t size, std::vector<uint8_t>& file,
                uint32_t dictionary = kLzmaMaxDictionary, PayloadForm form = kFormSingle);
