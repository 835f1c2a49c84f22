// Solid blocks: many payloads compressed as one LZMA stream, so that each
// refers to what the ones before it hold (headers of one library say much
// the same). Win32-free.
//
// A block is a file of the medium named by its number (SolidBlockName:
// "setup.s01", ...), listed in setup.sum as a payload is: an LZMA payload
// (lzma_payload.h) whose codec header says form 2, a block. Each payload in
// it (a member) keeps its own file under its own name, as every payload
// does, and its own entry in setup.sum; that file is only this:
//
//   offset  size  content
//   0       14    the codec header: codec 1 (LZMA), form 1 (a member), the
//                 member's expanded size
//   14      4     the block's number, little-endian
//   18      8     where the member starts in the block's expansion,
//                 little-endian
//
// A member lies within its block's expansion; the members of a block follow
// one another in it, in the order the installation places them.
#pragma once

#include "base/thread_sync.h"
#include "expand/lzhuf_file.h"
#include "formats/medium.h"
#include "formats/setup_sum.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

constexpr size_t kSolidMemberSize = 26;
// The most a block expands to (what it holds in memory while it is decoded).
constexpr uint64_t kSolidBlockMax = uint64_t(1) << 26;

struct SolidMember {
    uint32_t block = 0;
    uint64_t offset = 0;  // in the block's expansion
    uint64_t size = 0;
};

// The name of block |block|'s file: "setup.s" and at least two digits.
std::string SolidBlockName(uint32_t block);
// True when |name| is such a name (as setup.sum compares names).
bool IsSolidBlockName(const std::string& name);
// Writes the member file of |member| into |file| (kSolidMemberSize bytes).
void WriteSolidMember(const SolidMember& member, uint8_t* file);
// The member that |file| (|length| bytes) is; false when it is not a member file.
bool ReadSolidMember(const uint8_t* file, size_t length, SolidMember& member);

class LzmaBufferDecoder;

// The blocks of one medium, each decoded once, as far as its members are
// asked for, into memory (at most its expansion, 64 MB), and let go once
// every byte of it has been given out. Members may be asked for in any order
// and from any thread; a block is decoded by one thread at a time.
//
// Lock order: m_lock, then a block's lock; the reader is called under the
// block's lock (a Medium::StreamHold comes after it).
class SolidBlocks {
public:
    // Reads block |name|'s packed file whole into |bytes|, checked against
    // what setup.sum says of it when there is one: kOk, kDamaged (missing,
    // not listed, or not as packed) or kReadFailed.
    using Reader = std::function<ExpandStatus(const std::string& name, std::vector<uint8_t>& bytes)>;

    explicit SolidBlocks(Reader reader);
    ~SolidBlocks();
    SolidBlocks(const SolidBlocks&) = delete;
    SolidBlocks& operator=(const SolidBlocks&) = delete;

    // Copies |member|'s expansion into |out|: kOk; kDamaged when its block
    // is damaged (also when it does not reach the member) or kReadFailed
    // (unreadable, or not enough memory for it), |out| then empty. An empty
    // member is kOk without its block.
    ExpandStatus Expand(const SolidMember& member, std::vector<uint8_t>& out);

private:
    struct Block {
        ThreadLock lock;
        std::vector<uint8_t> packed;              // what the decoder reads, while it decodes
        std::unique_ptr<LzmaBufferDecoder> decoder;  // none before the first member and after the last
        uint64_t given = 0;                       // bytes given out since it was started
        ExpandStatus failed = ExpandStatus::kOk;  // why it cannot be decoded (for good)
    };
    // With the block's lock held: starts decoding |block| (number |number|).
    ExpandStatus Begin(Block& block, uint32_t number);

    const Reader m_reader;
    ThreadLock m_lock;
    std::map<uint32_t, std::unique_ptr<Block>> m_blocks;  // guarded by m_lock (a block's fields by its own)
};

// Whether |bytes|, read as block |name|'s file, are what |expected| (its
// entry in setup.sum; none: nothing to check) says: kOk or kDamaged.
ExpandStatus CheckBlockFile(const std::vector<uint8_t>& bytes, const SumEntry* expected);

// The solid blocks of |medium|, which it keeps (Medium::Cache) while it lasts;
// their files are checked against the medium's setup.sum.
SolidBlocks& SolidBlocksOf(const Medium& medium);
