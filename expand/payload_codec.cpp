#include "expand/payload_codec.h"

#include "expand/lz4_payload.h"
#include "expand/lzhuf_decode.h"
#include "expand/lzhuf_encode.h"
#include "expand/lzhuf_scheme.h"
#include "expand/lzma_payload.h"
#include "expand/solid_block.h"

#include <cstring>

namespace {

constexpr PayloadCodec kCodecs[] = {PayloadCodec::kLzhuf, PayloadCodec::kLzma, PayloadCodec::kLz4};

}  // namespace

const char* CodecName(PayloadCodec codec) {
    switch (codec) {
    case PayloadCodec::kLzma:
        return "lzma";
    case PayloadCodec::kLz4:
        return "lz4";
    case PayloadCodec::kLzhuf:
        break;
    }
    return "lzhuf";
}

bool ParseCodec(const std::string& name, PayloadCodec& codec) {
    for (PayloadCodec known : kCodecs)
        if (name == CodecName(known)) {
            codec = known;
            return true;
        }
    return false;
}

bool HasCodecMagic(const uint8_t* bytes) { return std::memcmp(bytes, kCodecMagic, sizeof kCodecMagic) == 0; }

void WriteCodecHeader(uint8_t id, uint64_t size, uint8_t* header, PayloadForm form) {
    std::memcpy(header, kCodecMagic, sizeof kCodecMagic);
    header[4] = id;
    header[5] = form;
    for (int i = 0; i < 8; ++i)
        header[6 + i] = uint8_t(size >> (8 * i));
}

bool ReadCodecHeader(const uint8_t* header, uint8_t id, uint64_t& size, PayloadForm form) {
    if (!HasCodecMagic(header) || header[4] != id || header[5] != form) return false;
    size = 0;
    for (int i = 13; i >= 6; --i)
        size = (size << 8) | header[i];
    return true;
}

bool EncodePayload(PayloadCodec codec, const uint8_t* data, size_t size, std::vector<uint8_t>& file) {
    switch (codec) {
    case PayloadCodec::kLzma:
        return EncodeLzma(data, size, file);
    case PayloadCodec::kLz4:
        return EncodeLz4(data, size, file);
    case PayloadCodec::kLzhuf:
        break;
    }
    return EncodeLzhuf(data, size, file);
}

PayloadCodec PayloadCodecOf(const uint8_t* bytes, size_t length) {
    if (length < sizeof kCodecMagic || !HasCodecMagic(bytes)) return PayloadCodec::kLzhuf;
    return length > 4 && bytes[4] == kLz4CodecId ? PayloadCodec::kLz4 : PayloadCodec::kLzma;
}

uint64_t StatedPayloadSize(const uint8_t* bytes, size_t length) {
    uint64_t size = 0;
    switch (PayloadCodecOf(bytes, length)) {
    case PayloadCodec::kLzma: {
        SolidMember member;
        if (ReadSolidMember(bytes, length, member)) return member.size;
        if (length >= kLzmaHeaderSize && ReadCodecHeader(bytes, kLzmaCodecId, size, kFormSolidBlock)) return size;
        return length >= kLzmaHeaderSize && ReadLzmaHeader(bytes, size) ? size : 0;
    }
    case PayloadCodec::kLz4:
        return length >= kLz4HeaderSize && ReadCodecHeader(bytes, kLz4CodecId, size) ? size : 0;
    case PayloadCodec::kLzhuf:
        break;
    }
    const int32_t stated = length >= size_t(kHeaderSize) ? ReadLzhufHeader(bytes) : 0;
    return stated > 0 ? uint64_t(stated) : 0;
}

bool DecodePayloadStrictly(const uint8_t* file, size_t length, std::vector<uint8_t>& output, std::string& why,
                           SolidBlocks* solid) {
    output.clear();
    SolidMember member;
    if (ReadSolidMember(file, length, member)) {
        const ExpandStatus status = solid ? solid->Expand(member, output) : ExpandStatus::kDamaged;
        if (status == ExpandStatus::kOk) return true;
        why = "its solid block " + SolidBlockName(member.block) +
              (status == ExpandStatus::kReadFailed ? " cannot be read" : " is damaged, missing or does not hold it");
        return false;
    }
    const PayloadCodec codec = PayloadCodecOf(file, length);
    if (codec != PayloadCodec::kLzhuf) {
        const bool block = length >= kCodecHeaderSize && file[5] == kFormSolidBlock;
        if (codec == PayloadCodec::kLzma ? DecodeLzmaBuffer(file, length, output, block ? kFormSolidBlock : kFormSingle)
                                         : DecodeLz4Buffer(file, length, output))
            return true;
        why = std::string("its ") + (codec == PayloadCodec::kLzma ? "LZMA" : "LZ4") +
              " stream is refused (damaged, cut short or with bytes after it)";
        return false;
    }
    LzhufDecodeResult decoded;
    if (!DecodeLzhufBuffer(file, length, output, &decoded, LzhufEnd::Stop)) {
        why = "shorter than its 4-byte size";
        return false;
    }
    if (decoded.pastEnd) {
        why = "ends before its stated size";
        return false;
    }
    return true;
}
