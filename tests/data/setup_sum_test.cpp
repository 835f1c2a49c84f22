// setup.sum: the text both ways, what counts as damage, and the platform's
// SHA-256 (CryptoAPI under Wine, libcrypto natively) on known digests.
#include "data/setup_sum.h"

#include <gtest/gtest.h>

namespace {

bool Parse(SetupSum& sum, const std::string& text, std::string* problem = nullptr) {
    return sum.Parse(reinterpret_cast<const uint8_t*>(text.data()), text.size(), problem);
}

const char kAbcDigest[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

}  // namespace

TEST(Sha256, KnownDigestsInOneAndInManyParts) {
    Sha256Digest digest;
    ASSERT_TRUE(HashBytes("abc", 3, digest));
    EXPECT_EQ(DigestHex(digest), kAbcDigest);
    ASSERT_TRUE(HashBytes("", 0, digest));
    EXPECT_EQ(DigestHex(digest), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    const std::string million(1000000, 'a');
    Sha256 hash;
    for (size_t at = 0; at < million.size(); at += 4093)
        hash.Update(million.data() + at, std::min<size_t>(4093, million.size() - at));
    ASSERT_TRUE(hash.Finish(digest));
    EXPECT_EQ(DigestHex(digest), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(SetupSum, FormatsAndParsesBackAndFindsNamesAsWindowsDoes) {
    SetupSum sum;
    SumEntry entry{"Docs\\Read Me.tx_", 306, {}};
    ASSERT_TRUE(HashBytes("abc", 3, entry.sha256));
    ASSERT_TRUE(sum.Add(entry));
    EXPECT_FALSE(sum.Add(SumEntry{"docs/read me.TX_", 1, {}}));  // the same file
    EXPECT_FALSE(sum.Add(SumEntry{"", 1, {}}));
    EXPECT_FALSE(sum.Add(SumEntry{"a\tb", 1, {}}));
    ASSERT_TRUE(sum.Add(SumEntry{"setup.drc", 0, {}}));
    const std::string text = sum.Format();
    EXPECT_EQ(text.substr(0, 13), "setup.sum 1\r\n");

    SetupSum back;
    ASSERT_TRUE(Parse(back, text));
    ASSERT_EQ(back.Entries().size(), 2u);
    const SumEntry* found = back.Find("DOCS/read me.tx_");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->size, 306u);
    EXPECT_TRUE(found->Matches(306, entry.sha256));
    EXPECT_FALSE(found->Matches(305, entry.sha256));
    EXPECT_EQ(back.Find("read me.tx_"), nullptr);
    // LF line ends and upper-case digits are read too.
    ASSERT_TRUE(Parse(back, "setup.sum 1\n" + std::string(64, 'F') + " 7 a b\n"));
    EXPECT_EQ(back.Find("a b")->size, 7u);
}

TEST(SetupSum, AnyDamageRefusesTheWholeText) {
    const std::string digest = kAbcDigest;
    const struct {
        std::string text, problem;
    } damaged[] = {
        {"", "empty"},
        {"setup.sum 2\r\n", "line 1: not a setup.sum of version 1"},
        {"setup.sum 1\r\n\r\n", "line 2: too short for a digest, a size and a name"},
        {"setup.sum 1\r\n" + digest.substr(1) + "x 3 a\r\n", "line 2: the digest is not 64 hexadecimal digits"},
        {"setup.sum 1\r\n" + digest + "  3 a\r\n", "line 2: no size after the digest"},
        {"setup.sum 1\r\n" + digest + " 3a b\r\n", "line 2: no blank after the size"},
        {"setup.sum 1\r\n" + digest + " 99999999999999999999 a\r\n", "line 2: the size is too large"},
        {"setup.sum 1\r\n" + digest + " 3 \x01b\r\n", "line 2: the name is empty or holds a control character"},
        {"setup.sum 1\r\n" + digest + " 3 a\r\n" + digest + " 4 A\r\n", "line 3: names a file named before"},
    };
    for (const auto& c : damaged) {
        SetupSum sum;
        std::string problem;
        EXPECT_FALSE(Parse(sum, c.text, &problem)) << c.text;
        EXPECT_EQ(problem, c.problem) << c.text;
        EXPECT_TRUE(sum.Entries().empty());
    }
}
