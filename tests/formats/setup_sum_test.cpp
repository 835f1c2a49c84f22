// setup.sum: the text both ways, what counts as damage, and the platform's
// SHA-256 (CryptoAPI under Wine, libcrypto natively) on known digests.
#include "formats/setup_sum.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

namespace {

bool Parse(SetupSum& sum, const std::string& text, std::string* problem = nullptr) {
    return sum.Parse(reinterpret_cast<const uint8_t*>(text.data()), text.size(), problem);
}

const char kAbcDigest[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

// An entry line of setup.sum for |name|.
std::string Line(const std::string& name) { return std::string(kAbcDigest) + " 3 " + name + "\r\n"; }

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
    EXPECT_FALSE(back.Find("a b")->packed);

    // Once one entry names its packed file, the text is of version 2, and an
    // entry without one names its own size and digest there.
    entry.name = "b.cmp";
    entry.packed = true;
    entry.packedSize = 99;
    ASSERT_TRUE(HashBytes("packed", 6, entry.packedSha256));
    ASSERT_TRUE(sum.Add(entry));
    const std::string text2 = sum.Format();
    EXPECT_EQ(text2.substr(0, 13), "setup.sum 2\r\n");
    EXPECT_NE(text2.find(" 0 " + DigestHex(sum.Find("setup.drc")->sha256) + " 0 setup.drc\r\n"), std::string::npos)
        << text2;
    ASSERT_TRUE(Parse(back, text2));
    ASSERT_EQ(back.Entries().size(), 3u);
    const SumEntry* packed = back.Find("b.cmp");
    EXPECT_TRUE(packed->packed);
    EXPECT_EQ(packed->packedSize, 99u);
    EXPECT_EQ(packed->packedSha256, entry.packedSha256);
    EXPECT_EQ(packed->sha256, entry.sha256);
}

TEST(SetupSum, FindsEveryOneOfManyNamesAddedInAnyOrderAndKeepsTheirOrder) {
    // Names that sort differently with and without case folding ('_' lies
    // between the upper- and the lower-case letters), names that begin
    // others, slashes against backslashes, added in a scrambled order.
    std::vector<std::string> names = {"a", "a_b", "aab", "AaC", "a\\b", "a/b\\c", "[", "Z", "z_", "zz"};
    for (int i = 0; i < 400; ++i)
        names.push_back("d" + std::to_string(i % 7) + "\\" + (i % 2 ? "F" : "f") + std::to_string(i * 37 % 401));
    SetupSum sum;
    for (size_t i = 0; i < names.size(); ++i) ASSERT_TRUE(sum.Add(SumEntry{names[i], i, {}})) << names[i];
    for (size_t i = 0; i < names.size(); ++i) {
        std::string other = names[i];  // the same file written otherwise
        for (char& ch : other)
            ch = ch == '\\' ? '/' : ch == '/' ? '\\' : char(std::islower(ch) ? std::toupper(ch) : std::tolower(ch));
        const SumEntry* found = sum.Find(other);
        ASSERT_NE(found, nullptr) << other;
        EXPECT_EQ(found->size, i) << other;
        EXPECT_FALSE(sum.Add(SumEntry{other, 0, {}})) << other;
        EXPECT_EQ(sum.Entries()[i].name, names[i]);
    }
    for (const char* missing : {"", "a_", "aa", "a\\", "d0\\f", "d7\\f0", "zzz", "\x7f"})
        EXPECT_EQ(sum.Find(missing), nullptr) << missing;

    SetupSum back;  // and the same once read back from its text
    ASSERT_TRUE(Parse(back, sum.Format()));
    for (size_t i = 0; i < names.size(); ++i) ASSERT_NE(back.Find(names[i]), nullptr) << names[i];
    EXPECT_EQ(back.Find("d0\\f"), nullptr);
}

TEST(SetupSum, AnyDamageRefusesTheWholeText) {
    const std::string digest = kAbcDigest;
    const struct {
        std::string text, problem;
    } damaged[] = {
        {"", "empty"},
        {"setup.sum 3\r\n", "line 1: not a setup.sum of version 1 or 2"},
        // Version 2 names the packed file's digest and size too.
        {"setup.sum 2\r\n" + digest + " 3 a\r\n", "line 2: too short for a digest, a size and a name"},
        {"setup.sum 2\r\n" + digest + " 3 " + digest + " a\r\n", "line 2: no size after the digest"},
        {"setup.sum 1\r\n\r\n", "line 2: too short for a digest, a size and a name"},
        {"setup.sum 1\r\n" + digest.substr(1) + "x 3 a\r\n", "line 2: the digest is not 64 hexadecimal digits"},
        {"setup.sum 1\r\n" + digest + "  3 a\r\n", "line 2: no size after the digest"},
        {"setup.sum 1\r\n" + digest + " 3a b\r\n", "line 2: no blank after the size"},
        {"setup.sum 1\r\n" + digest + " 99999999999999999999 a\r\n", "line 2: the size is too large"},
        {"setup.sum 1\r\n" + digest + " 3 \x01b\r\n", "line 2: the name is empty or holds a control character"},
        {"setup.sum 1\r\n" + digest + " 3 a\r\n" + digest + " 4 A\r\n", "line 3: names a file named before"},
        // The first line at fault, whichever fault it is.
        {"setup.sum 1\r\n" + Line("b") + Line("a") + Line("c") + Line("d/e") + Line("A") + Line("D\\E") + "bad\r\n",
         "line 6: names a file named before"},
        {"setup.sum 1\r\n" + Line("b") + "bad\r\n" + Line("B"), "line 3: too short for a digest, a size and a name"},
    };
    for (const auto& c : damaged) {
        SetupSum sum;
        std::string problem;
        EXPECT_FALSE(Parse(sum, c.text, &problem)) << c.text;
        EXPECT_EQ(problem, c.problem) << c.text;
        EXPECT_TRUE(sum.Entries().empty());
    }
}
