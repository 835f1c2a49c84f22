// Solid blocks: members taken out of their blocks in any order and from
// several threads at once (with the next block decoded ahead meanwhile), and
// a block's damage. Threaded: run under ThreadSanitizer too.
#include "expand/solid_block.h"

#include "expand/lzma_payload.h"
#include "expand/payload_codec.h"
#include "tests/expand/sample_bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Two solid blocks and their members, asked for in any order, from a block
// reader that counts its reads: each block is read and decoded once while
// its members are given out, and again only for a member asked again after
// all of it was given. A member outside its block, a block changed or
// missing are damage (for good); a block that could not be read may be
// tried again.
TEST(SolidBlocks, GiveEachMemberFromItsBlockAndRefuseDamage) {
    // A program's bytes go through the x86 filter: noise with calls in it.
    Bytes program = Noise(3000, 2);
    program[0] = 'M';
    program[1] = 'Z';
    for (size_t at = 100; at + 5 < program.size(); at += 97) {
        program[at] = 0xE8;
        program[at + 3] = program[at + 4] = 0;
    }
    const Bytes parts[] = {Text(50000), Bytes(), program, Text(7), Noise(20000, 3)};
    // Block 1: parts 0-2; block 2: parts 3-4.
    std::map<std::string, Bytes> files;
    std::vector<SolidMember> members;
    for (uint32_t block : {1u, 2u}) {
        Bytes expansion;
        for (size_t i = block == 1 ? 0 : 3; i < (block == 1 ? 3u : 5u); ++i) {
            const bool x86 = LooksLikeX86Code(parts[i].data(), parts[i].size());
            EXPECT_EQ(x86, i == 2);
            members.push_back({block, expansion.size(), parts[i].size(), x86});
            expansion.insert(expansion.end(), parts[i].begin(), parts[i].end());
            if (x86) X86Filter(expansion.data() + members.back().offset, parts[i].size(), true);
        }
        if (block == 1) {
            EXPECT_FALSE(std::equal(program.begin(), program.end(), expansion.begin() + 50000));
        }
        ASSERT_TRUE(EncodeLzma(expansion.data(), expansion.size(), files[SolidBlockName(block)], kLzmaMaxDictionary,
                               kFormSolidBlock));
    }
    EXPECT_EQ(SolidBlockName(2), "setup.s02");
    EXPECT_TRUE(IsSolidBlockName("SETUP.S02") && IsSolidBlockName("setup.s123"));
    EXPECT_FALSE(IsSolidBlockName("setup.s1") || IsSolidBlockName("setup.sum") || IsSolidBlockName("x\\setup.s01"));
    // A block is not a payload of its own, nor a member file a payload.
    Bytes out;
    EXPECT_FALSE(DecodeLzmaBuffer(files["setup.s01"].data(), files["setup.s01"].size(), out));

    // (The readers are called on the thread that decodes ahead too.)
    std::mutex readLock;
    std::map<std::string, int> reads;
    std::atomic<ExpandStatus> readFails{ExpandStatus::kOk};
    SolidBlocks blocks([&](const std::string& name, Bytes& bytes) {
        std::lock_guard<std::mutex> hold(readLock);
        ++reads[name];
        if (readFails != ExpandStatus::kOk) return readFails.load();
        if (!files.count(name)) return ExpandStatus::kDamaged;
        bytes = files[name];
        return ExpandStatus::kOk;
    });
    for (size_t i : {4u, 2u, 0u, 3u, 1u}) {
        Bytes file(kSolidMemberSize);
        WriteSolidMember(members[i], file.data());
        SolidMember read;
        ASSERT_TRUE(ReadSolidMember(file.data(), file.size(), read));
        EXPECT_EQ(read.x86, i == 2);
        EXPECT_EQ(StatedPayloadSize(file.data(), file.size()), parts[i].size());
        EXPECT_EQ(blocks.Expand(read, out), ExpandStatus::kOk) << i;
        EXPECT_EQ(out, parts[i]) << i;
    }
    auto readsOf = [&](const std::string& name) {
        std::lock_guard<std::mutex> hold(readLock);
        return reads[name];
    };
    EXPECT_EQ(readsOf("setup.s01"), 1);
    EXPECT_EQ(readsOf("setup.s02"), 1);
    EXPECT_EQ(blocks.Expand(members[3], out), ExpandStatus::kOk);
    EXPECT_EQ(out, parts[3]);
    EXPECT_EQ(readsOf("setup.s02"), 2);

    SolidMember beyond = members[4];
    beyond.size += 1;
    EXPECT_EQ(blocks.Expand(beyond, out), ExpandStatus::kDamaged);
    EXPECT_TRUE(out.empty());
    beyond = members[4];
    beyond.offset = ~uint64_t(0);
    EXPECT_EQ(blocks.Expand(beyond, out), ExpandStatus::kDamaged);
    EXPECT_EQ(blocks.Expand(members[4], out), ExpandStatus::kDamaged);  // the block is damaged for good

    files["setup.s01"][files["setup.s01"].size() / 2] ^= 0x20;
    SolidBlocks changed([&](const std::string& name, Bytes& bytes) {
        std::lock_guard<std::mutex> hold(readLock);
        ++reads[name];
        if (readFails != ExpandStatus::kOk) return readFails.load();
        bytes = files[name];
        return ExpandStatus::kOk;
    });
    readFails = ExpandStatus::kReadFailed;
    EXPECT_EQ(changed.Expand(members[0], out), ExpandStatus::kReadFailed);
    readFails = ExpandStatus::kOk;
    bool damaged = false;
    for (size_t i = 0; i < 3; ++i) damaged |= changed.Expand(members[i], out) == ExpandStatus::kDamaged;
    EXPECT_TRUE(damaged);
    EXPECT_EQ(changed.Expand(members[3], out), ExpandStatus::kOk);  // the other block is whole

    SolidBlocks none([](const std::string&, Bytes&) { return ExpandStatus::kDamaged; });
    EXPECT_EQ(none.Expand(members[0], out), ExpandStatus::kDamaged);
}

// As the installation's decoding threads ask: two threads take the members
// of three blocks in turns, in order, while the next block is decoded ahead.
TEST(SolidBlocks, GiveMembersToThreadsTakingThemInTurns) {
    std::vector<Bytes> parts;
    std::vector<SolidMember> members;
    std::map<std::string, Bytes> files;
    for (uint32_t block = 1; block <= 3; ++block) {
        Bytes expansion;
        for (int i = 0; i < 40; ++i) {
            parts.push_back(i % 3 ? Text(1000 + size_t(i) * 997) : Noise(500 + size_t(i), block * 100 + unsigned(i)));
            members.push_back({block, expansion.size(), parts.back().size()});
            expansion.insert(expansion.end(), parts.back().begin(), parts.back().end());
        }
        ASSERT_TRUE(EncodeLzma(expansion.data(), expansion.size(), files[SolidBlockName(block)], kLzmaMaxDictionary,
                               kFormSolidBlock));
    }
    std::atomic<int> reads{0};
    SolidBlocks blocks([&](const std::string& name, Bytes& bytes) {
        ++reads;
        if (!files.count(name)) return ExpandStatus::kDamaged;
        bytes = files.at(name);
        return ExpandStatus::kOk;
    });
    std::atomic<size_t> next{0};
    std::atomic<int> wrong{0};
    auto take = [&] {
        Bytes out;
        for (size_t i; (i = next++) < members.size();)
            if (blocks.Expand(members[i], out) != ExpandStatus::kOk || out != parts[i]) ++wrong;
    };
    std::thread first(take), second(take);
    first.join();
    second.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_LE(reads, 4);  // each block once (and the fourth, which is not there)
}
