// libFuzzer target: arbitrary bytes as a payload file.
//
// The decoder must survive anything and agree with the plain baseline decoder;
// its output is exactly the stated size, or up to 59 bytes more for a last
// match; stopping at the end of the input gives a prefix of that; and the
// same bytes taken as data come back unchanged through encoder and decoder.
#include "expand/lzhuf_decode.h"
#include "expand/lzhuf_encode.h"
#include "expand/lzhuf_scheme.h"
#include "fuzz/fuzz_support.h"
#include "tests/expand/lzhuf_baseline.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// The header may state up to 2 GB, which the decoder would honour with zero
// bits; the fuzzer keeps the work per input small instead. Twice the ring's
// 4 KB still takes every position through a wrap, and the plain baseline
// decoder, the costly part, then takes an eighth of the time it took at 64 KB.
constexpr int32_t kMaxSize = 1 << 13;

std::vector<uint8_t> Baseline(const std::vector<uint8_t>& file) {
    std::FILE* in = fmemopen(const_cast<uint8_t*>(file.data()), file.size(), "rb");
    char* buffer = nullptr;
    size_t length = 0;
    std::FILE* out = open_memstream(&buffer, &length);
    Check(in && out, "cannot open memory streams");
    BaselineExpand(in, out);
    std::fclose(in);
    std::fclose(out);
    std::vector<uint8_t> result(buffer, buffer + length);
    std::free(buffer);
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> out;
    if (size < size_t(kHeaderSize)) {
        Check(!DecodeLzhufBuffer(data, size, out), "a short header was accepted");
        return 0;
    }
    std::vector<uint8_t> file(data, data + size);
    int32_t stated = ReadLzhufHeader(file.data());
    if (stated > kMaxSize) {
        stated %= kMaxSize;
        const uint32_t n = uint32_t(stated);
        file[0] = uint8_t(n);
        file[1] = uint8_t(n >> 8);
        file[2] = uint8_t(n >> 16);
        file[3] = uint8_t(n >> 24);
    }

    LzhufDecodeResult result;
    Check(DecodeLzhufBuffer(file.data(), file.size(), out, &result), "a full header was refused");
    const size_t expected = stated > 0 ? size_t(stated) : 0;
    Check(out.size() == result.written, "written count differs from the output");
    Check(out.size() >= expected && out.size() < expected + kMaxMatch, "output size out of range");
    Check(out == Baseline(file), "differs from the baseline decoder");

    std::vector<uint8_t> stopped;
    DecodeLzhufBuffer(file.data(), file.size(), stopped, nullptr, LzhufEnd::Stop);
    Check(stopped.size() <= out.size() && std::equal(stopped.begin(), stopped.end(), out.begin()),
          "stopping at the end is not a prefix");

    std::vector<uint8_t> packed, unpacked;
    Check(EncodeLzhuf(data, size, packed), "encoding failed");
    Check(DecodeLzhufBuffer(packed.data(), packed.size(), unpacked, &result), "encoded header refused");
    Check(unpacked.size() == size && std::memcmp(unpacked.data(), data, size) == 0, "round trip differs");
    Check(!result.pastEnd, "encoded stream too short");
    return 0;
}
