#include "expand/solid_block.h"

#include "expand/lzma_payload.h"
#include "expand/payload_codec.h"

#include <cstdio>
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

// What Medium::Cache keeps of a medium: its blocks.
class MediumBlocks : public MediumCache {
public:
    explicit MediumBlocks(SolidBlocks::Reader reader) : blocks(std::move(reader)) {}
    SolidBlocks blocks;
};

}  // namespace

std::string SolidBlockName(uint32_t block) {
    char name[24];
    std::snprintf(name, sizeof name, "setup.s%02u", unsigned(block));
    return name;
}

bool IsSolidBlockName(const std::string& name) {
    const std::string key = SumNameKey(name);
    const std::string prefix = "SETUP.S";
    if (key.size() < prefix.size() + 2 || key.compare(0, prefix.size(), prefix) != 0) return false;
    for (size_t i = prefix.size(); i < key.size(); ++i)
        if (key[i] < '0' || key[i] > '9') return false;
    return true;
}

void WriteSolidMember(const SolidMember& member, uint8_t* file) {
    WriteCodecHeader(kLzmaCodecId, member.size, file, kFormSolidMember);
    WriteLittle(member.block, file + kCodecHeaderSize, 4);
    WriteLittle(member.offset, file + kCodecHeaderSize + 4, 8);
}

bool ReadSolidMember(const uint8_t* file, size_t length, SolidMember& member) {
    if (length != kSolidMemberSize || !ReadCodecHeader(file, kLzmaCodecId, member.size, kFormSolidMember))
        return false;
    member.block = uint32_t(ReadLittle(file + kCodecHeaderSize, 4));
    member.offset = ReadLittle(file + kCodecHeaderSize + 4, 8);
    return true;
}

SolidBlocks::SolidBlocks(Reader reader) : m_reader(std::move(reader)) {}
SolidBlocks::~SolidBlocks() = default;

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
    if (!block.decoder->Start(block.packed.data(), block.packed.size(), kFormSolidBlock)) return ExpandStatus::kDamaged;
    return ExpandStatus::kOk;
}

ExpandStatus SolidBlocks::Expand(const SolidMember& member, std::vector<uint8_t>& out) {
    out.clear();
    // An empty file is what it is, wherever it lies: its block is not read
    // for it (nor started again once let go).
    if (member.size == 0) return ExpandStatus::kOk;
    Block* block;
    {
        ThreadHold hold(m_lock);
        std::unique_ptr<Block>& slot = m_blocks[member.block];
        if (!slot) slot.reset(new Block);
        block = slot.get();
    }
    ThreadHold hold(block->lock);
    if (block->failed != ExpandStatus::kOk) return block->failed;
    ExpandStatus status = ExpandStatus::kOk;
    try {
        if (!block->decoder) status = Begin(*block, member.block);
        LzmaBufferDecoder* decoder = block->decoder.get();
        const uint64_t end = member.offset + member.size;
        if (status == ExpandStatus::kOk &&
            (end < member.offset || end > decoder->Size() || !decoder->DecodeTo(end)))
            status = ExpandStatus::kDamaged;
        if (status == ExpandStatus::kOk) {
            const uint8_t* from = decoder->Bytes().data() + member.offset;
            out.assign(from, from + member.size);
            // The whole expansion given out (the members tile it): the block
            // is let go. (A member asked for again starts it over.)
            block->given += member.size;
            if (decoder->Decoded() == decoder->Size()) std::vector<uint8_t>().swap(block->packed);
            if (block->given >= decoder->Size()) block->decoder.reset();
        }
    } catch (const std::bad_alloc&) {
        status = ExpandStatus::kReadFailed;
    }
    if (status != ExpandStatus::kOk) {
        out.clear();
        block->decoder.reset();
        std::vector<uint8_t>().swap(block->packed);
        // Damage stays; a read that failed (for memory, say) may be tried again.
        if (status == ExpandStatus::kDamaged) block->failed = status;
    }
    return status;
}

ExpandStatus CheckBlockFile(const std::vector<uint8_t>& bytes, const SumEntry* expected) {
    uint64_t stated = 0;
    if (expected && ((KnowsPacked(expected) && !PackedBytesMatch(bytes.data(), bytes.size(), *expected)) ||
                     bytes.size() < kCodecHeaderSize ||
                     !ReadCodecHeader(bytes.data(), kLzmaCodecId, stated, kFormSolidBlock) || stated != expected->size))
        return ExpandStatus::kDamaged;
    return ExpandStatus::kOk;
}

SolidBlocks& SolidBlocksOf(const Medium& medium) {
    MediumCache& cache = medium.Cache([&medium] {
        return std::unique_ptr<MediumCache>(new MediumBlocks([&medium](const std::string& name,
                                                                      std::vector<uint8_t>& bytes) {
            const SumEntry* expected = nullptr;
            if (medium.Sum().present && !(expected = medium.Sum().sum.Find(name))) return ExpandStatus::kDamaged;
            switch (medium.ReadWhole(name, bytes)) {
            case Medium::ReadOutcome::kMissing:
                return ExpandStatus::kDamaged;  // its members are there, it is not
            case Medium::ReadOutcome::kFailed:
                return ExpandStatus::kReadFailed;
            case Medium::ReadOutcome::kRead:
                break;
            }
            return CheckBlockFile(bytes, expected);
        }));
    });
    return static_cast<MediumBlocks&>(cache).blocks;
}
