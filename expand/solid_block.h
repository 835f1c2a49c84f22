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
//   0       14    the codec header: codec 1 (LZMA), form 1 (a member) or 3
//                 (a member held in the block through the x86 filter), the
//                 member's expanded size
//   14      4     the block's number, little-endian
//   18      8     where the member starts in the block's expansion,
//                 little-endian
//
// A member lies within its block's expansion; the members of a block follow
// one another in it, in the order the installation places them. A member of
// form 3 (an x86 or x86-64 program or library, as mksetup judges by its
// first bytes) went through the LZMA SDK's x86 branch converter (BCJ:
// relative call and jump targets made absolute, which repeat more) before
// it went into the block, and goes back through it when it is taken out.
#pragma once

#include "base/thread_sync.h"
#include "expand/lzhuf_file.h"
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
    bool x86 = false;     // held through the x86 filter (form 3)
};

// Whether |size| bytes at |data| are an x86 or x86-64 program or library
// (PE or ELF), which the x86 filter makes more compressible.
bool LooksLikeX86Code(const uint8_t* data, size_t size);
// The x86 filter over |size| bytes at |data|, in place: |encode| for what
// goes into a block, else back. (Its last four bytes stay as they are.)
void X86Filter(uint8_t* data, size_t size, bool encode);

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
// every byte of it has been given out; while one block's members are asked
// for, the next block is decoded on a thread of its own (where threads are
// available). Members may be asked for in any order and from any thread; a
// block is decoded by one thread at a time.
//
// Lock order: m_threadLock before m_lock; m_lock is a leaf, never held
// while a block's lock is taken. The reader is called under the block's
// lock (a Medium::StreamHold comes after it).
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
        bool letGo = false;                       // given out whole, and its memory let go
        ExpandStatus failed = ExpandStatus::kOk;  // why it cannot be decoded (for good)
    };
    // How far the thread that decodes ahead goes in one step (holding the
    // block's lock meanwhile).
    static constexpr uint64_t kAheadStep = uint64_t(1) << 20;

    // Block |number|, made on first use.
    Block& Find(uint32_t number);
    // With the block's lock held: reads and starts block |number|.
    ExpandStatus Begin(Block& block, uint32_t number);
    // With the block's lock held: decodes |block| (started when it is not)
    // until |end| bytes are out; a failure stays with it when it is damage.
    ExpandStatus DecodeTo(Block& block, uint32_t number, uint64_t end);
    // Starts decoding block |number| on a thread of its own, unless it is
    // already or one is still at work.
    void StartAhead(uint32_t number);
    static void RunAhead(void* self);
    void DecodeAhead();

    const Reader m_reader;
    ThreadLock m_threadLock;  // held by whoever replaces m_ahead (before m_lock)
    ThreadLock m_lock;
    std::map<uint32_t, std::unique_ptr<Block>> m_blocks;  // guarded by m_lock (a block's fields by its own)
    uint32_t m_aheadBlock = 1;   // guarded by m_lock: the block decoded ahead last (the first is never)
    bool m_aheadDone = true;     // guarded by m_lock: the thread that decodes ahead has nothing more to do
    bool m_stopping = false;     // guarded by m_lock: it is to stop
    // Guarded by m_threadLock: the thread that decodes ahead, made by a
    // thread that asks for a member, joined by the next one made, or at the end.
    std::unique_ptr<WorkThread> m_ahead;
};

// Whether |bytes|, read as a block's file, are what |expected| (its entry
// in setup.sum; none: nothing to check) says: kOk or kDamaged.
ExpandStatus CheckBlockFile(const std::vector<uint8_t>& bytes, const SumEntry* expected);
