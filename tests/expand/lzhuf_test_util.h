// Helpers of the codec tests: payload files made symbol by symbol, and
// decoding with both the installer's decoder and the plain baseline decoder.
#pragma once

#include "expand/lzhuf_decode.h"
#include "expand/lzhuf_encode.h"
#include "tests/expand/lzhuf_baseline.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline Bytes SizeHeader(int32_t size) {
    const uint32_t n = static_cast<uint32_t>(size);
    return {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
}

// A payload file whose stream is written by |write|, behind a header of |size|.
template <class Write>
Bytes MakePayload(int32_t size, Write write) {
    Bytes file = SizeHeader(size);
    LzhufSymbolWriter writer(file);
    write(writer);
    writer.Finish();
    return file;
}

// What the baseline decoder makes of |file|; false when it finds the header short.
inline bool BaselineDecode(const Bytes& file, Bytes& out) {
    TempDir dir;
    dir.Write("in", std::string(file.begin(), file.end()));
    std::FILE* in = std::fopen(dir.Path("in").c_str(), "rb");
    std::FILE* dest = std::fopen(dir.Path("out").c_str(), "wb");
    const bool ok = in && dest && BaselineExpand(in, dest);
    if (in) std::fclose(in);
    if (dest) std::fclose(dest);
    const std::string s = dir.Read("out");
    out.assign(s.begin(), s.end());
    return ok;
}

// Decodes with the installer's decoder and checks that the baseline agrees.
inline Bytes DecodeChecked(const Bytes& file, LzhufDecodeResult* result = nullptr) {
    Bytes fast, plain;
    EXPECT_TRUE(DecodeLzhufBuffer(file.data(), file.size(), fast, result));
    EXPECT_TRUE(BaselineDecode(file, plain));
    EXPECT_TRUE(fast == plain) << "the decoders disagree: " << fast.size() << " vs " << plain.size() << " bytes";
    return fast;
}

inline Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }
