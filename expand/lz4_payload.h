// Payloads compressed with LZ4 (third_party/lz4), the codec a publisher may
// choose for the fastest installation: its decoder copies more than it
// computes. Win32-free.
//
// Such a payload starts with the codec header (payload_codec.h,
// docs/payload-codecs.md) with codec number 2, then its blocks, one after
// another to the end of the file:
//
//   size  content
//   4     the block's compressed length, little-endian: 1 to
//         LZ4_COMPRESSBOUND(its expanded length)
//   ...   an LZ4 block, independent of the others
//
// Every block but the last expands to kLz4Block bytes, the last to what is
// left of the stated size; an empty payload has no block. A payload is
// refused (damaged) when its header is not so, a block's length is out of
// bounds, LZ4 refuses a block or it expands to another length, the file ends
// early, or bytes follow the last block.
#pragma once

#include "expand/lzhuf_decode.h"
#include "expand/payload_codec.h"

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr uint8_t kLz4CodecId = 2;
constexpr size_t kLz4HeaderSize = kCodecHeaderSize;
// The expansion of a block: what the stream decoder holds at once.
constexpr size_t kLz4Block = size_t(1) << 22;

// Decodes the payload whose first kLz4HeaderSize bytes are |header|; its
// blocks come from |source|, to its end, and go to |sink| one by one.
CodecDecodeResult DecodeLz4Stream(const uint8_t* header, LzhufSource& source, LzhufSink& sink);

// Decodes a whole LZ4 payload held in memory (header included) into
// |output|, each block straight into its place. False when the payload is
// refused (|output| is then empty). Throws std::bad_alloc when the stated
// size does not fit in memory.
bool DecodeLz4Buffer(const uint8_t* file, size_t length, std::vector<uint8_t>& output);

// Compresses |size| bytes into an LZ4 payload (header and blocks) in |file|,
// at LZ4's highest compression level. False, with |file| empty, when the
// encoder fails (out of memory).
bool EncodeLz4(const uint8_t* data, size_t size, std::vector<uint8_t>& file);
