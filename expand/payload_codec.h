// The codecs a payload may be compressed with, and what is common to them:
// LZHUF (lzhuf_scheme.h; the default, and every payload made before there
// was a choice) and LZMA (lzma_payload.h), told apart by their first bytes
// (docs/payload-codecs.md). Win32-free.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class PayloadCodec { kLzhuf, kLzma };

// The codec's name as mksetup takes it ("lzhuf", "lzma").
const char* CodecName(PayloadCodec codec);
// The codec named |name|; false when there is none of that name.
bool ParseCodec(const std::string& name, PayloadCodec& codec);

// Compresses |size| bytes into a payload file of |codec| (header and stream)
// in |file|. False, with |file| empty, when it cannot: LZHUF states sizes up
// to 2 GB - 1; LZMA's encoder may run out of memory.
bool EncodePayload(PayloadCodec codec, const uint8_t* data, size_t size, std::vector<uint8_t>& file);

// The codec of the payload that starts with |bytes| (|length| of them).
PayloadCodec PayloadCodecOf(const uint8_t* bytes, size_t length);

// The expanded size that a payload's header states: 0 for a header cut
// short, a negative LZHUF size or an LZMA header this decoder refuses.
uint64_t StatedPayloadSize(const uint8_t* bytes, size_t length);

// Decodes a whole payload held in memory into |output| as the installer
// does against setup.sum (an LZHUF stream must not end early); false, with
// |why| saying why, when the payload is refused.
bool DecodePayloadStrictly(const uint8_t* file, size_t length, std::vector<uint8_t>& output, std::string& why);
