// Decoder of the LZHUF payload format (see lzhuf_scheme.h).
//
// Pure code: the stream comes from an LzhufSource and the bytes go to an
// LzhufSink, both in large blocks.  lzhuf_file.h puts files behind them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class LzhufSource {
public:
    virtual ~LzhufSource() = default;
    // Fills up to size bytes and returns how many; 0 at the end of the input.
    virtual size_t Read(uint8_t* buffer, size_t size) = 0;
};

class LzhufSink {
public:
    virtual ~LzhufSink() = default;
    // Takes size bytes; false when they could not be stored.
    virtual bool Write(const uint8_t* data, size_t size) = 0;
};

enum class LzhufEnd {
    ZeroBits,   // an exhausted stream supplies zero bits until the stated size is reached (the installer's way)
    Stop,       // decoding stops within a few symbols once the stream has needed bits beyond its end
};

struct LzhufDecodeResult {
    uint64_t written = 0;      // bytes given to the sink; a last match is written whole, so this
                               // may exceed the stated size by up to 59
    bool pastEnd = false;      // some symbol needed bits beyond the end of the input
    bool sinkFailed = false;   // the sink refused a block; decoding stopped there
};

// The size stated by a 4-byte header (little-endian, signed).
int32_t ReadLzhufHeader(const uint8_t* header);

// Decodes the bit stream that follows the header; size is the header's value.
// While fewer than size bytes are out another symbol is decoded, so a size of
// 0 or below decodes nothing.  Positions 0..4035 of the ring start as spaces,
// 4036..4095 as zero bytes.
LzhufDecodeResult DecodeLzhufStream(int32_t size, LzhufSource& source, LzhufSink& sink,
                                    LzhufEnd end = LzhufEnd::ZeroBits);

// Decodes a whole payload file held in memory, header included, appending to
// output.  False when the file is shorter than the header.
bool DecodeLzhufBuffer(const uint8_t* file, size_t length, std::vector<uint8_t>& output,
                       LzhufDecodeResult* result = nullptr, LzhufEnd end = LzhufEnd::ZeroBits);
