#include "expand/lzma_payload.h"

#include "lzma-sdk/LzmaDec.h"
#include "lzma-sdk/LzmaEnc.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr size_t kPropsOffset = 14;
constexpr size_t kInputBlock = size_t(1) << 16;
// lc + lp above this needs a literal table of up to 6 MB; the SDK's encoder
// at the settings mksetup uses writes lc 3, lp 0 (and LZMA2 allows 4).
constexpr unsigned kMaxLiteralBits = 4;

void* Allocate(void*, size_t size) { return std::malloc(size); }
void Release(void*, void* address) { std::free(address); }
ISzAlloc g_alloc = {Allocate, Release};

// The SDK's decoder state, with its probability tables, for one payload; the
// dictionary is the caller's (dic and dicBufSize are set by it).
class LzmaState {
public:
    LzmaState() { LzmaDec_Construct(&m_dec); }
    ~LzmaState() { LzmaDec_FreeProbs(&m_dec, &g_alloc); }
    LzmaState(const LzmaState&) = delete;
    LzmaState& operator=(const LzmaState&) = delete;

    // Reads the header's properties; false when they are not ones mksetup
    // writes. Throws std::bad_alloc when the tables cannot be had.
    bool Start(const uint8_t* header) {
        const uint8_t* props = header + kPropsOffset;
        CLzmaProps read;
        if (LzmaProps_Decode(&read, props, LZMA_PROPS_SIZE) != SZ_OK || read.lc + read.lp > kMaxLiteralBits ||
            read.dicSize > kLzmaMaxDictionary)
            return false;
        const SRes allocated = LzmaDec_AllocateProbs(&m_dec, props, LZMA_PROPS_SIZE, &g_alloc);
        if (allocated == SZ_ERROR_MEM) throw std::bad_alloc();
        if (allocated != SZ_OK) return false;
        m_dictionary = read.dicSize;
        return true;
    }
    uint32_t Dictionary() const { return m_dictionary; }
    CLzmaDec& Dec() { return m_dec; }
    const CLzmaDec& Dec() const { return m_dec; }

private:
    CLzmaDec m_dec;
    uint32_t m_dictionary = 0;
};

// After the last byte of the stated size: the stream must end there.
bool FinishedWell(ELzmaStatus status) {
    return status == LZMA_STATUS_FINISHED_WITH_MARK || status == LZMA_STATUS_MAYBE_FINISHED_WITHOUT_MARK;
}

}  // namespace

bool ReadLzmaHeader(const uint8_t* header, uint64_t& size) {
    return ReadCodecHeader(header, kLzmaCodecId, size);
}

CodecDecodeResult DecodeLzmaStream(const uint8_t* header, LzhufSource& source, LzhufSink& sink) {
    CodecDecodeResult result;
    uint64_t size = 0;
    LzmaState state;
    std::unique_ptr<uint8_t[]> dictionary, input;
    size_t ring = 0;
    try {
        if (!ReadLzmaHeader(header, size) || !state.Start(header)) {
            result.refused = true;
            return result;
        }
        // A ring of the dictionary's size, or of the whole expansion when
        // that is smaller: no match reaches further back than either.
        ring = size_t(std::max<uint64_t>(1, std::min<uint64_t>(state.Dictionary(), size)));
        dictionary.reset(new uint8_t[ring]);
        input.reset(new uint8_t[kInputBlock]);
    } catch (const std::bad_alloc&) {
        result.noMemory = true;  // (up to 64 MB, in a process that may hold much else)
        return result;
    }
    CLzmaDec& dec = state.Dec();
    dec.dic = dictionary.get();
    dec.dicBufSize = ring;
    LzmaDec_Init(&dec);

    const uint8_t* in = input.get();
    size_t inLeft = 0;
    bool inputEnded = false;
    uint64_t left = size;
    // (Once even for an empty payload: its stream is the range coder's
    // first five bytes, which must be there.)
    do {
        if (inLeft == 0 && !inputEnded) {
            inLeft = source.Read(input.get(), kInputBlock);
            in = input.get();
            inputEnded = inLeft == 0;
        }
        if (dec.dicPos == ring) dec.dicPos = 0;
        const size_t start = dec.dicPos;
        const size_t room = size_t(std::min<uint64_t>(ring - start, left));
        SizeT consumed = inLeft;
        ELzmaStatus status;
        const SRes res = LzmaDec_DecodeToDic(&dec, start + room, in, &consumed,
                                             room == left ? LZMA_FINISH_END : LZMA_FINISH_ANY, &status);
        in += consumed;
        inLeft -= consumed;
        const size_t produced = dec.dicPos - start;
        if (produced > 0) {
            if (!sink.Write(dictionary.get() + start, produced)) {
                result.sinkFailed = true;
                return result;
            }
            result.written += produced;
            left -= produced;
        }
        // An invalid stream, or one that ends (or stops giving anything)
        // before the stated size is out.
        if (res != SZ_OK || (left == 0 && !FinishedWell(status)) ||
            (left > 0 && produced == 0 && consumed == 0 && (inputEnded || inLeft > 0))) {
            result.refused = true;
            return result;
        }
    } while (left > 0);
    // Nothing may follow the stream.
    uint8_t extra;
    if (inLeft > 0 || (!inputEnded && source.Read(&extra, 1) > 0)) result.refused = true;
    return result;
}

struct LzmaBufferDecoder::State {
    LzmaState lzma;
    std::vector<uint8_t> out;
    uint64_t size = 0;
    const uint8_t* in = nullptr;
    size_t inLeft = 0;
    bool ended = false;   // the stated size is out and the stream ended there
    bool refused = false;
    uint8_t none = 0;     // the dictionary of an empty payload (the decoder's is never empty)
};

LzmaBufferDecoder::LzmaBufferDecoder() : m_state(new State) {}
LzmaBufferDecoder::~LzmaBufferDecoder() = default;

bool LzmaBufferDecoder::Start(const uint8_t* file, size_t length, PayloadForm form) {
    State& st = *m_state;
    if (length < kLzmaHeaderSize || !ReadCodecHeader(file, kLzmaCodecId, st.size, form) || !st.lzma.Start(file)) {
        st.refused = true;
        return false;
    }
    if (st.size > st.out.max_size()) throw std::bad_alloc();
    st.out.resize(size_t(st.size));
    CLzmaDec& dec = st.lzma.Dec();
    dec.dic = st.size ? st.out.data() : &st.none;
    dec.dicBufSize = st.size ? st.out.size() : 1;
    LzmaDec_Init(&dec);
    st.in = file + kLzmaHeaderSize;
    st.inLeft = length - kLzmaHeaderSize;
    return true;
}

bool LzmaBufferDecoder::DecodeTo(uint64_t upTo) {
    State& st = *m_state;
    if (st.refused || upTo > st.size) return false;
    CLzmaDec& dec = st.lzma.Dec();
    // (The last call runs even for an empty payload: its stream is the range
    // coder's first five bytes, which must be there, and nothing after them.)
    if (upTo <= dec.dicPos && (upTo < st.size || st.ended)) return true;
    const bool last = upTo == st.size;
    SizeT consumed = st.inLeft;
    ELzmaStatus status;
    const SRes res = LzmaDec_DecodeToDic(&dec, size_t(upTo), st.in, &consumed,
                                         last ? LZMA_FINISH_END : LZMA_FINISH_ANY, &status);
    st.in += consumed;
    st.inLeft -= consumed;
    st.ended = last && res == SZ_OK && dec.dicPos == upTo && FinishedWell(status) && st.inLeft == 0;
    if (res != SZ_OK || dec.dicPos != upTo || (last && !st.ended)) st.refused = true;
    return !st.refused;
}

uint64_t LzmaBufferDecoder::Size() const { return m_state->size; }
uint64_t LzmaBufferDecoder::Decoded() const { return m_state->refused ? 0 : m_state->lzma.Dec().dicPos; }
std::vector<uint8_t>& LzmaBufferDecoder::Bytes() { return m_state->out; }

bool DecodeLzmaBuffer(const uint8_t* file, size_t length, std::vector<uint8_t>& output, PayloadForm form) {
    output.clear();
    LzmaBufferDecoder decoder;
    if (!decoder.Start(file, length, form) || !decoder.DecodeTo(decoder.Size())) return false;
    output = std::move(decoder.Bytes());
    return true;
}

bool EncodeLzma(const uint8_t* data, size_t size, std::vector<uint8_t>& file, uint32_t dictionary, PayloadForm form) {
    CLzmaEncProps props;
    LzmaEncProps_Init(&props);
    props.level = 9;
    props.dictSize = std::min(std::max(dictionary, uint32_t(1) << 12), kLzmaMaxDictionary);
    // The dictionary shrinks to the payload's size (so does setup.exe's
    // memory for it); above 4 GB the estimate stays at its largest.
    props.reduceSize = size < 0xFFFFFFFFu ? uint32_t(size) : 0xFFFFFFFFu;
    props.fb = 273;
    props.numThreads = 1;
    // Room for an incompressible payload, which LZMA stores a little larger.
    file.assign(kLzmaHeaderSize + size + size / 16 + 4096, 0);
    WriteCodecHeader(kLzmaCodecId, size, file.data(), form);
    SizeT written = file.size() - kLzmaHeaderSize;
    SizeT propsSize = LZMA_PROPS_SIZE;
    const SRes res = LzmaEncode(file.data() + kLzmaHeaderSize, &written, data, size, &props, file.data() + kPropsOffset,
                                &propsSize, 0, nullptr, &g_alloc, &g_alloc);
    if (res != SZ_OK || propsSize != LZMA_PROPS_SIZE) {
        file.clear();
        return false;
    }
    file.resize(kLzmaHeaderSize + written);
    return true;
}
