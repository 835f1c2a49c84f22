#include "expand/lzhuf_file.h"

#include "expand/lz4_payload.h"
#include "expand/lzhuf_scheme.h"
#include "expand/lzma_payload.h"
#include "expand/payload_codec.h"
#include "expand/solid_block.h"
#include "base/file_io.h"
#include "base/staged_file.h"
#include "expand/overlapped_sink.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// A payload's compressed bytes as the decoder reads them (header first), and
// whether reading them failed.
class PayloadInput : public LzhufSource {
public:
    virtual bool Failed() const = 0;
};

// The rest of the payload's stretch of its file.
class RangeInput : public PayloadInput {
public:
    explicit RangeInput(RangeReader& reader) : m_reader(reader) {}
    size_t Read(uint8_t* buffer, size_t size) override { return m_reader.Read(buffer, size); }
    bool Failed() const override { return m_reader.Failed(); }

private:
    RangeReader& m_reader;
};

// Compressed bytes in memory.
class BytesInput : public PayloadInput {
public:
    explicit BytesInput(const std::vector<uint8_t>& bytes) : m_at(bytes.data()), m_left(bytes.size()) {}
    size_t Read(uint8_t* buffer, size_t size) override {
        if (size > m_left) size = m_left;
        if (size) std::memcpy(buffer, m_at, size);
        m_at += size;
        m_left -= size;
        return size;
    }
    bool Failed() const override { return false; }

private:
    const uint8_t* m_at;
    size_t m_left;
};

class FileSink : public LzhufSink {
public:
    explicit FileSink(std::FILE* file) : m_file(file) {}
    bool Write(const uint8_t* data, size_t size) override { return std::fwrite(data, 1, size, m_file) == size; }

private:
    std::FILE* m_file;
};

// Counts, and hashes unless the packed bytes were checked, what goes on to
// the file, when there is a sum to check. (Bytes that are the ones packed
// decode to what was packed: the size is then all there is to check.)
class CheckedSink : public LzhufSink {
public:
    CheckedSink(LzhufSink& next, bool hash) : m_next(next), m_hashing(hash) {}
    bool Write(const uint8_t* data, size_t size) override {
        if (m_hashing) m_hash.Update(data, size);
        m_size += size;
        return m_next.Write(data, size);
    }
    bool Matches(const SumEntry& expected) {
        if (!m_hashing) return m_size == expected.size;
        Sha256Digest digest;
        return m_hash.Finish(digest) && expected.Matches(m_size, digest);
    }

private:
    LzhufSink& m_next;
    bool m_hashing;
    Sha256 m_hash;
    uint64_t m_size = 0;
};

// The same for the bytes of |range|, read once through: kOk, kDamaged, or
// kReadFailed when they cannot be read.
ExpandStatus CheckPackedRange(const FileRange& range, const SumEntry& expected) {
    RangeReader reader(range);
    if (!reader.Start()) return ExpandStatus::kReadFailed;
    Sha256 hash;
    std::vector<uint8_t> block(1 << 16);
    uint64_t total = 0;
    for (size_t got; (got = reader.Read(block.data(), block.size())) > 0;) {
        total += got;
        if (total > expected.packedSize) return ExpandStatus::kDamaged;
        hash.Update(block.data(), got);
    }
    if (reader.Failed()) return ExpandStatus::kReadFailed;
    Sha256Digest digest;
    if (!hash.Finish(digest)) return ExpandStatus::kReadFailed;
    return total == expected.packedSize && digest == expected.packedSha256 ? ExpandStatus::kOk : ExpandStatus::kDamaged;
}

// Collects an expansion in memory.
class VectorSink : public LzhufSink {
public:
    explicit VectorSink(std::vector<uint8_t>& bytes) : m_bytes(bytes) {}
    bool Write(const uint8_t* data, size_t size) override {
        m_bytes.insert(m_bytes.end(), data, data + size);
        return true;
    }

private:
    std::vector<uint8_t>& m_bytes;
};

ExpandResult Failure(ExpandStatus status, const char* path) {
    ExpandResult result;
    result.status = status;
    result.path = path;
    return result;
}

// The source's half of an expansion: reads the header and decodes the rest of
// |in| into |sink|, checked against |expected| when given. kOk (also when the
// sink failed: decode.sinkFailed says so), kDamaged or kReadFailed. A stream
// that states |overlapFrom| bytes or more is checked and written on another
// thread while it is decoded.
ExpandStatus DecodeStream(PayloadInput& in, LzhufSink& sink, LzhufEnd end, const SumEntry* expected,
                          LzhufDecodeResult& decode, size_t overlapFrom = SIZE_MAX) {
    uint8_t header[kLzmaHeaderSize] = {};  // (zeros where a short read leaves bytes unread)
    if (in.Read(header, kHeaderSize) != kHeaderSize)
        // Against a sum, a file cut short even of its header is damage too.
        return expected && !in.Failed() ? ExpandStatus::kDamaged : ExpandStatus::kReadFailed;
    // Another codec's header goes on after the four bytes an LZHUF one has:
    // to the codec header's end, and for LZMA over its properties.
    PayloadCodec codec = PayloadCodecOf(header, kHeaderSize);
    size_t headerSize = kHeaderSize;
    if (codec != PayloadCodec::kLzhuf) {
        const size_t rest = kCodecHeaderSize - kHeaderSize;
        bool whole = in.Read(header + kHeaderSize, rest) == rest;
        codec = PayloadCodecOf(header, kCodecHeaderSize);
        headerSize = codec == PayloadCodec::kLzma ? kLzmaHeaderSize : kLz4HeaderSize;
        const size_t more = headerSize - kCodecHeaderSize;
        whole = whole && (more == 0 || in.Read(header + kCodecHeaderSize, more) == more);
        if (!whole) return in.Failed() ? ExpandStatus::kReadFailed : ExpandStatus::kDamaged;
    }
    const uint64_t size = StatedPayloadSize(header, headerSize);
    // LZMA and LZ4 payloads state their size exactly: one that setup.sum
    // contradicts is not decoded at all.
    if (codec != PayloadCodec::kLzhuf && expected && size != expected->size) return ExpandStatus::kDamaged;
    std::unique_ptr<CheckedSink> checked(expected ? new CheckedSink(sink, !KnowsPacked(expected)) : nullptr);
    LzhufSink& next = checked ? *checked : sink;
    std::unique_ptr<OverlappedSink> overlapped;
    if (size > 0 && size >= overlapFrom) {
        overlapped.reset(new OverlappedSink(next));
        if (!overlapped->Started()) overlapped.reset();
    }
    LzhufSink& out = overlapped ? *overlapped : next;
    bool refused = false, noMemory = false;
    if (codec != PayloadCodec::kLzhuf) {
        const CodecDecodeResult r = codec == PayloadCodec::kLzma ? DecodeLzmaStream(header, in, out)
                                                                 : DecodeLz4Stream(header, in, out);
        refused = r.refused;
        noMemory = r.noMemory;
        decode.written = r.written;
        decode.sinkFailed = r.sinkFailed;
    } else {
        decode = DecodeLzhufStream(ReadLzhufHeader(header), in, out, checked ? LzhufEnd::Stop : end);
    }
    // (A write that failed on the other thread stopped the decoding a few
    // blocks later than it would have stopped it here.)
    if (overlapped && !overlapped->Finish()) decode.sinkFailed = true;
    overlapped.reset();
    // (A payload that cannot be decoded here for want of memory is one that
    // cannot be read: the expander's read failure, not damage.)
    if (in.Failed() || noMemory) return ExpandStatus::kReadFailed;
    if (decode.sinkFailed) return ExpandStatus::kOk;
    // A stream its codec refuses is damage, with or without a sum.
    if (refused || (checked && (decode.pastEnd || !checked->Matches(*expected)))) return ExpandStatus::kDamaged;
    return ExpandStatus::kOk;
}

// An existing destination that cannot be written (read-only, in use) is
// refused before anything is decoded; it is opened without truncation.
bool DestinationRefused(const char* dest) {
    return CanOpenFile(dest, FileAccess::kRead) && !CanOpenFile(dest, FileAccess::kReadWrite);
}

// The end of an expansion whose bytes are all in |out|: a failed write or
// close (a full disk, say) must not pass for a good file, and the file put in
// place must open again. At restart, only the last step differs.
ExpandResult Finish(ExpandResult result, bool written, StagedFile& out, const char* dest, const Placement& placement) {
    if (placement.atRestart) {
        if (!written || !out.CommitAtRestart(result.staged)) {
            result.status = ExpandStatus::kDestAccessFailed;
            result.path = dest;
        }
        return result;
    }
    LaterClose* const closer = placement.closer;
    if (!written || !out.Commit(closer) || !CanOpenFile(dest, FileAccess::kRead, closer)) {
        result.status = ExpandStatus::kDestAccessFailed;
        result.path = dest;
    }
    return result;
}

// DecodeLzhufBytes for an LZMA or LZ4 payload: decoded straight into the
// payload's bytes (for LZMA they are the decoder's dictionary), or for a
// member of a solid block copied from the block's expansion; then checked.
void DecodeCodecBytes(PayloadCodec codec, const std::vector<uint8_t>& compressed, DecodedPayload& payload,
                      const SumEntry* expected, SolidBlocks* solid) {
    const uint64_t stated = StatedPayloadSize(compressed.data(), compressed.size());
    ExpandStatus status = !expected || stated == expected->size ? ExpandStatus::kOk : ExpandStatus::kDamaged;
    SolidMember member;
    if (status == ExpandStatus::kOk && solid && ReadSolidMember(compressed.data(), compressed.size(), member))
        status = solid->Expand(member, payload.bytes);
    else if (status == ExpandStatus::kOk &&
             !(codec == PayloadCodec::kLzma ? DecodeLzmaBuffer(compressed.data(), compressed.size(), payload.bytes)
                                            : DecodeLz4Buffer(compressed.data(), compressed.size(), payload.bytes)))
        status = ExpandStatus::kDamaged;
    if (status == ExpandStatus::kOk && KnowsPacked(expected)) {
        if (payload.bytes.size() != expected->size) status = ExpandStatus::kDamaged;
    } else if (status == ExpandStatus::kOk && expected) {
        Sha256Digest digest;
        if (!HashBytes(payload.bytes.data(), payload.bytes.size(), digest) ||
            !expected->Matches(payload.bytes.size(), digest))
            status = ExpandStatus::kDamaged;
    }
    payload.status = status;
    if (status != ExpandStatus::kOk) payload.bytes.clear();
}

bool WriteBytes(const std::vector<uint8_t>& bytes, std::FILE* file) {
    return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

}  // namespace

ExpandResult ExpandLzhufFile(const char* source, const char* dest, LzhufEnd end, const SumEntry* expected) {
    FilePtr in(OpenFile(source, "rb"));
    if (!in)
        return Failure(ExpandStatus::kSourceOpenFailed, source);
    FileRange whole;
    whole.file = in.get();
    return ExpandLzhufRange(whole, source, dest, end, expected);
}

ExpandResult ExpandLzhufRange(const FileRange& range, const char* source, const char* dest, LzhufEnd end,
                              const SumEntry* expected, const Placement& placement) {
    // Bytes not as packed reach no decoder. (They are read twice: the medium
    // holds its files so that no one can change them meanwhile.)
    if (KnowsPacked(expected)) {
        const ExpandStatus packed = CheckPackedRange(range, *expected);
        if (packed != ExpandStatus::kOk) return Failure(packed, source);
    }
    RangeReader reader(range);
    if (!reader.Start())
        return Failure(ExpandStatus::kReadFailed, source);
    RangeInput in(reader);
    if (!placement.destAbsent && !placement.atRestart && DestinationRefused(dest))
        return Failure(ExpandStatus::kDestCreateFailed, dest);
    // The file is written beside dest and takes its place only when complete.
    StagedFile out(dest);
    if (!out.Get())
        return Failure(ExpandStatus::kDestCreateFailed, dest);

    FileSink writer(out.Get());
    ExpandResult result;
    result.status = DecodeStream(in, writer, end, expected, result.decode, placement.overlapFrom);
    if (result.status != ExpandStatus::kOk) {
        result.path = source;
        return result;
    }
    const bool written = !result.decode.sinkFailed;
    return Finish(std::move(result), written, out, dest, placement);
}

void DecodeLzhufBytes(const std::vector<uint8_t>& compressed, DecodedPayload& payload, LzhufEnd end,
                      const SumEntry* expected, SolidBlocks* solid) {
    payload.bytes.clear();
    payload.sourceRead = true;
    if (KnowsPacked(expected) && !PackedBytesMatch(compressed.data(), compressed.size(), *expected)) {
        payload.status = ExpandStatus::kDamaged;
        return;
    }
    const PayloadCodec codec = PayloadCodecOf(compressed.data(), compressed.size());
    if (codec != PayloadCodec::kLzhuf) {
        DecodeCodecBytes(codec, compressed, payload, expected, solid);
        return;
    }
    // Room for the size the header states, up to a bound (it may be damaged).
    const uint64_t stated = StatedPayloadSize(compressed.data(), compressed.size());
    if (stated > 0) payload.bytes.reserve(size_t(std::min<uint64_t>(stated, uint64_t(1) << 26)));
    BytesInput in(compressed);
    VectorSink sink(payload.bytes);
    LzhufDecodeResult decode;
    payload.status = DecodeStream(in, sink, end, expected, decode);
    if (payload.status != ExpandStatus::kOk) payload.bytes.clear();
}

bool StageDecodedPayload(DecodedPayload& payload, const char* dest) {
    if (!payload.sourceRead || payload.status != ExpandStatus::kOk || payload.staged) return false;
    std::unique_ptr<StagedFile> staged(new StagedFile(dest));
    if (!staged->Get() || !WriteBytes(payload.bytes, staged->Get()) || std::fflush(staged->Get()) != 0 ||
        std::ferror(staged->Get()))
        return false;  // the temporary file goes with it
    payload.staged = std::move(staged);
    std::vector<uint8_t>().swap(payload.bytes);
    return true;
}

ExpandResult PlaceDecodedPayload(DecodedPayload& payload, const char* source, const char* dest,
                                 const Placement& placement) {
    if (!payload.sourceRead)
        return Failure(payload.status, source);
    if (!placement.destAbsent && !placement.atRestart && DestinationRefused(dest))
        return Failure(ExpandStatus::kDestCreateFailed, dest);
    std::unique_ptr<StagedFile> out = std::move(payload.staged);
    const bool written = out != nullptr;  // a staged payload is written whole
    if (!out) out.reset(new StagedFile(dest));
    if (!out->Get())
        return Failure(ExpandStatus::kDestCreateFailed, dest);
    if (payload.status != ExpandStatus::kOk)
        return Failure(payload.status, source);
    return Finish(ExpandResult(), written || WriteBytes(payload.bytes, out->Get()), *out, dest, placement);
}

std::string ExpandFailureText(const ExpandResult& result) {
    switch (result.status) {
    case ExpandStatus::kOk:
    case ExpandStatus::kDamaged:
        return std::string();
    case ExpandStatus::kSourceOpenFailed:
    case ExpandStatus::kDestCreateFailed:
        return "Erro de abertura no arquivo " + result.path;
    case ExpandStatus::kReadFailed:
        return "Erro de leitura";
    case ExpandStatus::kDestAccessFailed:
        return "Erro de acesso ao arquivo " + result.path;
    }
    return std::string();
}

bool KnowsPacked(const SumEntry* expected) { return expected && expected->packed; }

bool PackedBytesMatch(const uint8_t* data, size_t size, const SumEntry& expected) {
    Sha256Digest digest;
    return size == expected.packedSize && HashBytes(data, size, digest) && digest == expected.packedSha256;
}
