#include "expand/lz4_payload.h"

#include "lz4/lz4.h"
#include "lz4/lz4hc.h"

#include <algorithm>
#include <memory>
#include <new>

namespace {

uint32_t LoadLittleEndian32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The expansion of the block that starts |done| bytes into a payload of |size|.
size_t BlockSize(uint64_t size, uint64_t done) { return size_t(std::min<uint64_t>(size - done, kLz4Block)); }

// A block's compressed length, as a payload may state it for a block that
// expands to |expanded| bytes.
bool LengthFits(uint32_t length, size_t expanded) {
    return length > 0 && length <= uint32_t(LZ4_COMPRESSBOUND(expanded));
}

// Reads |size| bytes unless the source ends first; how many it read.
size_t ReadFully(LzhufSource& source, uint8_t* buffer, size_t size) {
    size_t got = 0;
    while (got < size) {
        const size_t n = source.Read(buffer + got, size - got);
        if (n == 0) break;
        got += n;
    }
    return got;
}

// One block of |length| bytes at |packed| into |expanded| bytes at |out|.
bool DecodeBlock(const uint8_t* packed, uint32_t length, uint8_t* out, size_t expanded) {
    return LZ4_decompress_safe(reinterpret_cast<const char*>(packed), reinterpret_cast<char*>(out), int(length),
                               int(expanded)) == int(expanded);
}

}  // namespace

CodecDecodeResult DecodeLz4Stream(const uint8_t* header, LzhufSource& source, LzhufSink& sink) {
    CodecDecodeResult result;
    uint64_t size = 0;
    if (!ReadCodecHeader(header, kLz4CodecId, size)) {
        result.refused = true;
        return result;
    }
    const size_t largest = BlockSize(size, 0);
    std::unique_ptr<uint8_t[]> block, packed;
    try {
        block.reset(new uint8_t[std::max<size_t>(largest, 1)]);
        packed.reset(new uint8_t[size_t(LZ4_COMPRESSBOUND(largest))]);
    } catch (const std::bad_alloc&) {
        result.noMemory = true;
        return result;
    }
    while (result.written < size) {
        const size_t expanded = BlockSize(size, result.written);
        uint8_t lengthBytes[4];
        uint32_t length = 0;
        if (ReadFully(source, lengthBytes, 4) == 4) length = LoadLittleEndian32(lengthBytes);
        if (!LengthFits(length, expanded) || ReadFully(source, packed.get(), length) != length ||
            !DecodeBlock(packed.get(), length, block.get(), expanded)) {
            result.refused = true;
            return result;
        }
        if (!sink.Write(block.get(), expanded)) {
            result.sinkFailed = true;
            return result;
        }
        result.written += expanded;
    }
    // Nothing may follow the last block.
    uint8_t extra;
    if (source.Read(&extra, 1) > 0) result.refused = true;
    return result;
}

bool DecodeLz4Buffer(const uint8_t* file, size_t length, std::vector<uint8_t>& output) {
    output.clear();
    uint64_t size = 0;
    if (length < kLz4HeaderSize || !ReadCodecHeader(file, kLz4CodecId, size)) return false;
    // An LZ4 block expands less than 256 times: a size the file cannot hold
    // is refused before any memory is taken for it.
    if (size / 256 > length) return false;
    if (size > output.max_size()) throw std::bad_alloc();
    output.resize(size_t(size));
    const uint8_t* at = file + kLz4HeaderSize;
    size_t left = length - kLz4HeaderSize;
    for (uint64_t done = 0; done < size;) {
        const size_t expanded = BlockSize(size, done);
        const uint32_t blockLength = left >= 4 ? LoadLittleEndian32(at) : 0;
        if (!LengthFits(blockLength, expanded) || blockLength > left - 4 ||
            !DecodeBlock(at + 4, blockLength, output.data() + done, expanded)) {
            output.clear();
            return false;
        }
        at += 4 + blockLength;
        left -= 4 + blockLength;
        done += expanded;
    }
    if (left == 0) return true;
    output.clear();
    return false;
}

bool EncodeLz4(const uint8_t* data, size_t size, std::vector<uint8_t>& file) {
    try {
        file.assign(kLz4HeaderSize, 0);
        WriteCodecHeader(kLz4CodecId, size, file.data());
        for (size_t done = 0; done < size;) {
            const size_t expanded = BlockSize(size, done);
            const size_t at = file.size();
            file.resize(at + 4 + size_t(LZ4_COMPRESSBOUND(expanded)));
            const int length = LZ4_compress_HC(reinterpret_cast<const char*>(data + done),
                                               reinterpret_cast<char*>(file.data() + at + 4), int(expanded),
                                               LZ4_COMPRESSBOUND(expanded), LZ4HC_CLEVEL_MAX);
            if (length <= 0) {
                file.clear();
                return false;
            }
            for (int i = 0; i < 4; ++i)
                file[at + size_t(i)] = uint8_t(uint32_t(length) >> (8 * i));
            file.resize(at + 4 + size_t(length));
            done += expanded;
        }
        return true;
    } catch (const std::bad_alloc&) {
        file.clear();
        return false;
    }
}
