#include "expand/payload_codec.h"

#include "expand/lzhuf_decode.h"
#include "expand/lzhuf_encode.h"
#include "expand/lzhuf_scheme.h"
#include "expand/lzma_payload.h"

const char* CodecName(PayloadCodec codec) { return codec == PayloadCodec::kLzma ? "lzma" : "lzhuf"; }

bool ParseCodec(const std::string& name, PayloadCodec& codec) {
    for (PayloadCodec known : {PayloadCodec::kLzhuf, PayloadCodec::kLzma})
        if (name == CodecName(known)) {
            codec = known;
            return true;
        }
    return false;
}

bool EncodePayload(PayloadCodec codec, const uint8_t* data, size_t size, std::vector<uint8_t>& file) {
    return codec == PayloadCodec::kLzma ? EncodeLzma(data, size, file) : EncodeLzhuf(data, size, file);
}

PayloadCodec PayloadCodecOf(const uint8_t* bytes, size_t length) {
    return length >= sizeof kCodecMagic && HasCodecMagic(bytes) ? PayloadCodec::kLzma : PayloadCodec::kLzhuf;
}

uint64_t StatedPayloadSize(const uint8_t* bytes, size_t length) {
    if (PayloadCodecOf(bytes, length) == PayloadCodec::kLzma) {
        uint64_t size = 0;
        return length >= kLzmaHeaderSize && ReadLzmaHeader(bytes, size) ? size : 0;
    }
    const int32_t size = length >= size_t(kHeaderSize) ? ReadLzhufHeader(bytes) : 0;
    return size > 0 ? uint64_t(size) : 0;
}

bool DecodePayloadStrictly(const uint8_t* file, size_t length, std::vector<uint8_t>& output, std::string& why) {
    output.clear();
    if (PayloadCodecOf(file, length) == PayloadCodec::kLzma) {
        if (DecodeLzmaBuffer(file, length, output)) return true;
        why = "its LZMA stream is refused (damaged, cut short or with bytes after it)";
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
