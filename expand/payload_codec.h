// The codecs a payload may be compressed with, and what is common to them:
// LZHUF (lzhuf_scheme.h; the default, and every payload made before there
// was a choice), LZMA (lzma_payload.h) and LZ4 (lz4_payload.h), told apart by
// their first bytes (docs/payload-codecs.md). Win32-free.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class PayloadCodec { kLzhuf, kLzma, kLz4 };

// The codec's name as mksetup takes it ("lzhuf", "lzma", "lz4").
const char* CodecName(PayloadCodec codec);
// The codec named |name|; false when there is none of that name.
bool ParseCodec(const std::string& name, PayloadCodec& codec);

// The header that every payload of a codec other than LZHUF starts with:
//
//   offset  size  content
//   0       4     FF 4C 5A FF: read as LZHUF's size, a negative number, which
//                 an LZHUF reader expands to an empty file (refused against
//                 setup.sum); LZHUF payloads never start with it
//   4       1     the codec's number (LZMA 1, LZ4 2)
//   5       1     the form: 0, a payload of its own; 1, a member of a
//                 solid block; 2, a solid block; 3, a member of a solid
//                 block held there through the x86 filter (solid_block.h)
//   6       8     expanded size, unsigned, little-endian
//
// and what follows is the codec's own (for a member, the block's).
constexpr uint8_t kCodecMagic[4] = {0xFF, 0x4C, 0x5A, 0xFF};
constexpr size_t kCodecHeaderSize = 14;

// True when |bytes| (at least 4 of them) start with the codec header's magic
// rather than an LZHUF size.
bool HasCodecMagic(const uint8_t* bytes);
enum PayloadForm : uint8_t { kFormSingle = 0, kFormSolidMember = 1, kFormSolidBlock = 2, kFormSolidX86Member = 3 };
// Writes the header of a payload of codec |id| in |form| that expands to
// |size| bytes into |header| (kCodecHeaderSize bytes).
void WriteCodecHeader(uint8_t id, uint64_t size, uint8_t* header, PayloadForm form = kFormSingle);
// The expanded size that |header| (kCodecHeaderSize bytes) states; false when
// it is not the header of codec |id| in |form|.
bool ReadCodecHeader(const uint8_t* header, uint8_t id, uint64_t& size, PayloadForm form = kFormSingle);

// What decoding a payload of a codec other than LZHUF into a sink gave.
struct CodecDecodeResult {
    bool refused = false;      // the header or the stream is not as it must be
    bool noMemory = false;     // the decoder's buffers or tables could not be had
    bool sinkFailed = false;   // the sink refused a block; decoding stopped there
    uint64_t written = 0;      // bytes given to the sink
};

// Compresses |size| bytes into a payload file of |codec| (header and stream)
// in |file|. False, with |file| empty, when it cannot: LZHUF states sizes up
// to 2 GB - 1; LZMA's and LZ4's encoders may run out of memory.
bool EncodePayload(PayloadCodec codec, const uint8_t* data, size_t size, std::vector<uint8_t>& file);

// The codec of the payload that starts with |bytes| (|length| of them; with
// the magic and fewer than 5, or a codec number it does not know: LZMA,
// whose reader refuses the header).
PayloadCodec PayloadCodecOf(const uint8_t* bytes, size_t length);

// The expanded size that a payload's header states (a solid block's member
// file, whole, states its member's): 0 for a header cut short, a negative
// LZHUF size or a codec header this decoder refuses.
uint64_t StatedPayloadSize(const uint8_t* bytes, size_t length);

class SolidBlocks;

// Decodes a whole payload held in memory into |output| as the installer
// does against setup.sum (an LZMA or LZ4 stream must be whole, an LZHUF one
// must not end early); false, with |why| saying why, when the payload is
// refused. A solid block decodes to its whole expansion; a member of one
// is taken from |solid|'s block (without |solid| it is refused).
bool DecodePayloadStrictly(const uint8_t* file, size_t length, std::vector<uint8_t>& output, std::string& why,
                           SolidBlocks* solid = nullptr);
