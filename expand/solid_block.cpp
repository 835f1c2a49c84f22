#include "expand/solid_block.h"

#include "expand/lzma_payload.h"
#include "expand/payload_codec.h"
#include "lzma-sdk/Bra.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

uint64_t ReadLittle(const uint8_t* at, int bytes) {
    uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | at[i];
    return value;
}

void WriteLittle(uint64_t value, uint8_t* at, int bytes) {
    for (int i = 0; i < bytes; ++i) at[i] = uint8_t(value >> (8 * i));
}

}  // namespace

std::string SolidBlockName(uint32_t block) {
    std::string digits = std::to_string(block);
    return "setup.s" + std::string(digits.size() < 2 ? 2 - digits.size() : 0, '0') + digits;
}

bool IsSolidBlockName(const std::string& name) {
    const std::string key = SumNameKey(name);
    const std::string prefix = "SETUP.S";
    if (key.size() < prefix.size() + 2 || key.compare(0, prefix.size(), prefix) != 0) return false;
    for (size_t i = prefix.size(); i < key.size(); ++i)
        if (key[i] < '0' || key[i] > '9') return false;
    return true;
}

bool LooksLikeX86Code(const uint8_t* data, size_t size) {
    if (size >= 64 && data[0] == 'M' && data[1] == 'Z') return true;  // (Windows programs: x86 and x86-64 all but a few)
    // ELF, its machine (little-endian) EM_386 or EM_X86_64.
    return size >= 20 && std::memcmp(data, "\x7f" "ELF", 4) == 0 && data[5] == 1 && (data[18] == 3 || data[18] == 62) &&
           data[19] == 0;
}

void X86Filter(uint8_t* data, size_t size, bool encode) {
    UInt32 state = 0;
    x86_Convert(data, size, 0, &state, encode ? 1 : 0);
}

void WriteSolidMember(const SolidMember& member, uint8_t* file) {
    WriteCodecHeader(kLzmaCodecId, member.size, file, member.x86 ? kFormSolidX86Member : kFormSolidMember);
    WriteLittle(member.block, file + kCodecHeaderSize, 4);
    WriteLittle(member.offset, file + kCodecHeaderSize + 4, 8);
}

bool ReadSolidMember(const uint8_t* file, size_t length, SolidMember& member) {
    if (length != kSolidMemberSize) return false;
    member.x86 = ReadCodecHeader(file, kLzmaCodecId, member.size, kFormSolidX86Member);
    if (!member.x86 && !ReadCodecHeader(file, kLzmaCodecId, member.size, kFormSolidMember)) return false;
    member.block = uint32_t(ReadLittle(file + kCodecHeaderSize, 4));
    member.offset = ReadLittle(file + kCodecHeaderSize + 4, 8);
    return true;
}

SolidBlocks::SolidBlocks(Reader reader) : m_reader(std::move(reader)) {}

SolidBlocks::~SolidBlocks() {
    {
        ThreadHold hold(m_lock);
        m_stopping = true;
    }
    ThreadHold owner(m_threadLock);
    m_ahead.reset();  // (it stops after its step)
}

SolidBlocks::Block& SolidBlocks::Find(uint32_t number) {
    ThreadHold hold(m_lock);
    std::unique_ptr<Block>& slot = m_blocks[number];
    if (!slot) slot.reset(new Block);
    return *slot;
}

ExpandStatus SolidBlocks::Begin(Block& block, uint32_t number) {
    const ExpandStatus read = m_reader(SolidBlockName(number), block.packed);
    if (read != ExpandStatus::kOk) return read;
    // No block mksetup writes expands to more than its largest dictionary:
    // a header that says so is refused before memory is taken for it.
    uint64_t stated = 0;
    if (block.packed.size() < kCodecHeaderSize ||
        !ReadCodecHeader(block.packed.data(), kLzmaCodecId, stated, kFormSolidBlock) || stated > kSolidBlockMax)
        return ExpandStatus::kDamaged;
    block.decoder.reset(new LzmaBufferDecoder);
    block.given = 0;
    block.letGo = false;
    if (!block.decoder->Start(block.packed.data(), block.packed.size(), kFormSolidBlock)) return ExpandStatus::kDamaged;
    return ExpandStatus::kOk;
}

ExpandStatus SolidBlocks::DecodeTo(Block& block, uint32_t number, uint64_t end) {
    if (block.failed != ExpandStatus::kOk) return block.failed;
    ExpandStatus status = ExpandStatus::kOk;
    try {
        if (!block.decoder) status = Begin(block, number);
        if (status == ExpandStatus::kOk && (end > block.decoder->Size() || !block.decoder->DecodeTo(end)))
            status = ExpandStatus::kDamaged;
        // Its packed bytes are not read again once it is decoded to its end.
        if (status == ExpandStatus::kOk && block.decoder->Decoded() == block.decoder->Size())
            std::vector<uint8_t>().swap(block.packed);
    } catch (const std::bad_alloc&) {
        status = ExpandStatus::kReadFailed;
    }
    if (status != ExpandStatus::kOk) {
        block.decoder.reset();
        std::vector<uint8_t>().swap(block.packed);
        // Damage stays; a read that failed (for memory, say) may be tried again.
        if (status == ExpandStatus::kDamaged) block.failed = status;
    }
    return status;
}

void SolidBlocks::RunAhead(void* self) { static_cast<SolidBlocks*>(self)->DecodeAhead(); }

void SolidBlocks::DecodeAhead() {
    uint32_t number;
    {
        ThreadHold hold(m_lock);
        number = m_aheadBlock;
    }
    Block& block = Find(number);
    for (;;) {
        {
            ThreadHold hold(m_lock);
            if (m_stopping) break;
        }
        ThreadHold hold(block.lock);
        // Nothing left to do: decoded to its end, damaged, or every byte of
        // it given out already.
        if (block.failed != ExpandStatus::kOk || block.letGo ||
            (block.decoder && block.decoder->Decoded() == block.decoder->Size()))
            break;
        const uint64_t end = block.decoder ? std::min(block.decoder->Size(), block.decoder->Decoded() + kAheadStep) : 0;
        if (DecodeTo(block, number, end) != ExpandStatus::kOk) break;
    }
    ThreadHold hold(m_lock);
    m_aheadDone = true;
}

void SolidBlocks::StartAhead(uint32_t number) {
    const auto wanted = [&] { return !m_stopping && number > m_aheadBlock && m_aheadDone; };
    {
        ThreadHold hold(m_lock);
        if (!wanted()) return;
    }
    ThreadHold owner(m_threadLock);
    {
        ThreadHold hold(m_lock);
        if (!wanted()) return;
        m_aheadBlock = number;
        m_aheadDone = false;
    }
    m_ahead.reset();  // (done: joining it does not wait)
    m_ahead.reset(new WorkThread(RunAhead, this));
    if (!m_ahead->Started()) {
        ThreadHold hold(m_lock);
        m_aheadDone = true;
    }
}

ExpandStatus SolidBlocks::Expand(const SolidMember& member, std::vector<uint8_t>& out) {
    out.clear();
    // An empty file is what it is, wherever it lies: its block is not read
    // for it (nor started again once let go).
    if (member.size == 0) return ExpandStatus::kOk;
    // The next block is decoded on a thread of its own while this one's
    // files are asked for (one block ahead at most).
    StartAhead(member.block + 1);
    Block& block = Find(member.block);
    ThreadHold hold(block.lock);
    const uint64_t end = member.offset + member.size;
    ExpandStatus status = end < member.offset ? ExpandStatus::kDamaged : DecodeTo(block, member.block, end);
    if (status != ExpandStatus::kOk) return status;
    try {
        const uint8_t* from = block.decoder->Bytes().data() + member.offset;
        out.assign(from, from + member.size);
    } catch (const std::bad_alloc&) {
        return ExpandStatus::kReadFailed;
    }
    if (member.x86) X86Filter(out.data(), out.size(), false);
    // The whole expansion given out (the members tile it): the block is let
    // go. (A member asked for again starts it over.)
    block.given += member.size;
    if (block.given >= block.decoder->Size()) {
        block.decoder.reset();
        block.letGo = true;
    }
    return ExpandStatus::kOk;
}

ExpandStatus CheckBlockFile(const std::vector<uint8_t>& bytes, const SumEntry* expected) {
    uint64_t stated = 0;
    if (expected && ((KnowsPacked(expected) && !PackedBytesMatch(bytes.data(), bytes.size(), *expected)) ||
                     bytes.size() < kCodecHeaderSize ||
                     !ReadCodecHeader(bytes.data(), kLzmaCodecId, stated, kFormSolidBlock) || stated != expected->size))
        return ExpandStatus::kDamaged;
    return ExpandStatus::kOk;
}
