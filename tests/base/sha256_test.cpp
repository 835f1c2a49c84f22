// SHA-256: the system's hash (Sha256, HashBytes) and the one with the SHA
// extensions (ShaExtensionsHash) give the known digests, and the same ones
// for every length and every way of cutting the bytes into updates.
#include "base/hex.h"
#include "base/sha256.h"
#include "base/sha256_extensions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

std::string Hex(const uint8_t* digest) { return HexText(digest, 32, HexLetters::kLower); }

std::string ExtensionsDigest(const std::vector<uint8_t>& bytes, size_t piece) {
    ShaExtensionsHash hash;
    for (size_t at = 0; at < bytes.size(); at += piece)
        hash.Update(bytes.data() + at, std::min(piece, bytes.size() - at));
    uint8_t digest[32];
    hash.Finish(digest);
    return Hex(digest);
}

}  // namespace

TEST(Sha256, KnownDigests) {
    Sha256Digest digest;
    ASSERT_TRUE(HashBytes("abc", 3, digest));
    EXPECT_EQ(Hex(digest.data()), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    ASSERT_TRUE(HashBytes("", 0, digest));
    EXPECT_EQ(Hex(digest.data()), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    const std::vector<uint8_t> million(1000000, 'a');
    ASSERT_TRUE(HashBytes(million.data(), million.size(), digest));
    EXPECT_EQ(Hex(digest.data()), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    if (CpuHasShaExtensions()) {
        EXPECT_EQ(ExtensionsDigest(million, 4096), Hex(digest.data()));
    }
    // The digest of a growing text after each addition, the hash going on.
    Sha256 growing;
    growing.Update("ab", 2);
    ASSERT_TRUE(growing.Peek(digest));
    Sha256Digest expected;
    ASSERT_TRUE(HashBytes("ab", 2, expected));
    EXPECT_EQ(digest, expected);
    growing.Update("c", 1);
    ASSERT_TRUE(growing.Finish(digest));
    EXPECT_EQ(Hex(digest.data()), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

// Every length around the padding's edges (55, 56, 63, 64 bytes into a
// block), in one piece and in pieces that straddle blocks. (Natively the
// system's hash is OpenSSL's; on Windows it is the extensions' own where the
// processor has them, and the known digests above are what hold it.)
TEST(Sha256, TheExtensionsAgreeWithTheSystemsHash) {
    if (!CpuHasShaExtensions()) {
        GTEST_SKIP() << "this processor has no SHA extensions";
    }
    std::mt19937 random(5);
    std::vector<uint8_t> bytes(1000);
    for (uint8_t& b : bytes) b = uint8_t(random());
    for (size_t length = 0; length <= 300; ++length) {
        const std::vector<uint8_t> part(bytes.begin(), bytes.begin() + long(length));
        Sha256Digest expected;
        ASSERT_TRUE(HashBytes(part.data(), part.size(), expected));
        for (size_t piece : {size_t(1000), size_t(1), size_t(63), size_t(65)})
            EXPECT_EQ(ExtensionsDigest(part, piece), Hex(expected.data())) << length << " bytes by " << piece;
    }
}
