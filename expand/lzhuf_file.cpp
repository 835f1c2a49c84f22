#include "expand/lzhuf_file.h"

#include "expand/lzhuf_scheme.h"
#include "data/file_io.h"
#include "data/staged_file.h"

#include <cstdio>
#include <memory>

namespace {

// The compressed stream: the rest of the payload's stretch of its file.
class RangeSource : public LzhufSource {
public:
    explicit RangeSource(RangeReader& reader) : m_reader(reader) {}
    size_t Read(uint8_t* buffer, size_t size) override { return m_reader.Read(buffer, size); }

private:
    RangeReader& m_reader;
};

class FileSink : public LzhufSink {
public:
    explicit FileSink(std::FILE* file) : m_file(file) {}
    bool Write(const uint8_t* data, size_t size) override { return std::fwrite(data, 1, size, m_file) == size; }

private:
    std::FILE* m_file;
};

// Hashes and counts what goes on to the file, when there is a sum to check.
class CheckedSink : public LzhufSink {
public:
    explicit CheckedSink(LzhufSink& next) : m_next(next) {}
    bool Write(const uint8_t* data, size_t size) override {
        m_hash.Update(data, size);
        m_size += size;
        return m_next.Write(data, size);
    }
    bool Matches(const SumEntry& expected) {
        Sha256Digest digest;
        return m_hash.Finish(digest) && expected.Matches(m_size, digest);
    }

private:
    LzhufSink& m_next;
    Sha256 m_hash;
    uint64_t m_size = 0;
};

ExpandResult Failure(ExpandStatus status, const char* path) {
    ExpandResult result;
    result.status = status;
    result.path = path;
    return result;
}

}  // namespace

ExpandResult ExpandLzhufFile(const char* source, const char* dest, LzhufEnd end, const SumEntry* expected) {
    FilePtr in(std::fopen(source, "rb"));
    if (!in)
        return Failure(ExpandStatus::kSourceOpenFailed, source);
    FileRange whole;
    whole.file = in.get();
    return ExpandLzhufRange(whole, source, dest, end, expected);
}

ExpandResult ExpandLzhufRange(const FileRange& range, const char* source, const char* dest, LzhufEnd end,
                              const SumEntry* expected) {
    RangeReader in(range);
    if (!in.Start())
        return Failure(ExpandStatus::kReadFailed, source);
    // An existing destination that cannot be written (read-only, in use) is
    // refused before anything is decoded; it is opened without truncation.
    if (FilePtr existing{std::fopen(dest, "rb")}) {
        existing.reset();
        if (!FilePtr(std::fopen(dest, "r+b")))
            return Failure(ExpandStatus::kDestCreateFailed, dest);
    }
    // The file is written beside dest and takes its place only when complete.
    StagedFile out(dest);
    if (!out.Get())
        return Failure(ExpandStatus::kDestCreateFailed, dest);

    uint8_t header[kHeaderSize];
    if (in.Read(header, kHeaderSize) != kHeaderSize)
        // Against a sum, a file cut short even of its header is damage too.
        return Failure(expected && !in.Failed() ? ExpandStatus::kDamaged : ExpandStatus::kReadFailed, source);

    RangeSource reader(in);
    FileSink writer(out.Get());
    ExpandResult result;
    if (expected) {
        CheckedSink checked(writer);
        result.decode = DecodeLzhufStream(ReadLzhufHeader(header), reader, checked, LzhufEnd::Stop);
        if (!in.Failed() && !result.decode.sinkFailed &&
            (result.decode.pastEnd || !checked.Matches(*expected))) {
            result.status = ExpandStatus::kDamaged;
            result.path = source;
            return result;
        }
    } else {
        result.decode = DecodeLzhufStream(ReadLzhufHeader(header), reader, writer, end);
    }
    if (in.Failed()) {
        result.status = ExpandStatus::kReadFailed;
        result.path = source;
        return result;
    }
    // A failed write or close (a full disk, say) must not pass for a good file.
    if (result.decode.sinkFailed || !out.Commit()) {
        result.status = ExpandStatus::kDestAccessFailed;
        result.path = dest;
        return result;
    }
    FilePtr check(std::fopen(dest, "rb"));
    if (!check) {
        result.status = ExpandStatus::kDestAccessFailed;
        result.path = dest;
    }
    return result;
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
