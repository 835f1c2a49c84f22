// Expanding payload files: the four failures and what they leave behind.
#include "expand/lzhuf_file.h"

#include "tests/expand/lzhuf_test_util.h"

#include <gtest/gtest.h>

#if defined(__linux__)
#include <sys/resource.h>

#include <csignal>
#endif

namespace {

std::string AsString(const Bytes& b) { return std::string(b.begin(), b.end()); }

std::string Payload(const std::string& text) {
    Bytes file;
    EncodeLzhuf(reinterpret_cast<const uint8_t*>(text.data()), text.size(), file);
    return AsString(file);
}

// ExpandLzhufFile with the checking and writing on a thread of their own.
ExpandResult ExpandOverlapped(const std::string& source, const std::string& dest, const SumEntry* sum = nullptr) {
    FilePtr in(std::fopen(source.c_str(), "rb"));
    EXPECT_TRUE(in);
    FileRange whole;
    whole.file = in.get();
    Placement placement;
    placement.overlapFrom = 0;
    return ExpandLzhufRange(whole, source.c_str(), dest.c_str(), LzhufEnd::ZeroBits, sum, placement);
}

}  // namespace

TEST(ExpandLzhufFile, ExpandsAndReplacesAnExistingDestination) {
    TempDir dir;
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += "setup " + std::to_string(i % 17) + "\r\n";
    dir.Write("readme.tx_", Payload(text));
    dir.Write("readme.txt", std::string(100000, 'o'));   // longer than the new content
    const ExpandResult r = ExpandLzhufFile(dir.Path("readme.tx_").c_str(), dir.Path("readme.txt").c_str());
    EXPECT_EQ(r.status, ExpandStatus::kOk);
    EXPECT_EQ(ExpandFailureText(r), "");
    EXPECT_EQ(dir.Read("readme.txt"), text);
}

TEST(ExpandLzhufFile, RelativeDestinationsArePlaced) {
    TempDir dir;
    dir.Write("in", Payload("the new text"));
    dir.Write("sub/old", "the old text");
    {
        ScopedWorkingDirectory here(dir.Path());
        EXPECT_EQ(ExpandLzhufFile("in", "out").status, ExpandStatus::kOk);
        EXPECT_EQ(ExpandLzhufFile("in", "sub/old").status, ExpandStatus::kOk);
    }
    EXPECT_EQ(dir.Read("out"), "the new text");
    EXPECT_EQ(dir.Read("sub/old"), "the new text");
    EXPECT_EQ(dir.Count("sub"), 1u);  // no temporary file left beside it
}

TEST(ExpandLzhufFile, ZeroAndNegativeSizesGiveAnEmptyFile) {
    TempDir dir;
    dir.Write("zero", std::string("\0\0\0\0\xAB\xCD", 6));
    dir.Write("negative", std::string("\x10\0\0\x80\xAB\xCD", 6));
    dir.Write("out", "old");
    EXPECT_EQ(ExpandLzhufFile(dir.Path("zero").c_str(), dir.Path("out").c_str()).status, ExpandStatus::kOk);
    EXPECT_TRUE(dir.Exists("out"));
    EXPECT_EQ(dir.Read("out"), "");
    dir.Write("out", "old");
    EXPECT_EQ(ExpandLzhufFile(dir.Path("negative").c_str(), dir.Path("out").c_str()).status, ExpandStatus::kOk);
    EXPECT_EQ(dir.Read("out"), "");
}

TEST(ExpandLzhufFile, ReportsEachFailureWithItsText) {
    TempDir dir;
    dir.Write("good", Payload("hello"));
    dir.Write("short", std::string("\x05\0", 2));

    ExpandResult r = ExpandLzhufFile(dir.Path("missing").c_str(), dir.Path("out1").c_str());
    EXPECT_EQ(r.status, ExpandStatus::kSourceOpenFailed);
    EXPECT_EQ(ExpandFailureText(r), "Erro de abertura no arquivo " + dir.Path("missing"));
    EXPECT_FALSE(dir.Exists("out1"));

    const std::string unreachable = dir.Path("no-such-folder/out2");
    r = ExpandLzhufFile(dir.Path("good").c_str(), unreachable.c_str());
    EXPECT_EQ(r.status, ExpandStatus::kDestCreateFailed);
    EXPECT_EQ(ExpandFailureText(r), "Erro de abertura no arquivo " + unreachable);

    r = ExpandLzhufFile(dir.Path("short").c_str(), dir.Path("out3").c_str());
    EXPECT_EQ(r.status, ExpandStatus::kReadFailed);
    EXPECT_EQ(ExpandFailureText(r), "Erro de leitura");
    EXPECT_FALSE(dir.Exists("out3"));  // nothing left behind
    EXPECT_EQ(dir.Count(), 2u);         // good and short: no temporary file either
}

#if defined(__linux__)
TEST(ExpandLzhufFile, AWriteThatFailsHalfWayKeepsTheOldFileAndLeavesNoTemporary) {
    TempDir dir;
    std::string text;
    for (int i = 0; i < 20000; ++i) text += "line " + std::to_string(i) + "\r\n";
    dir.Write("big", Payload(text));
    dir.Write("out", "the old file");
    // A file-size limit stands for a full disk: writes past 4 KiB fail.
    struct rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    for (const bool overlapped : {false, true}) {
        SCOPED_TRACE(overlapped ? "written on another thread" : "written while decoding");
        setrlimit(RLIMIT_FSIZE, &small);
        const ExpandResult r = overlapped ? ExpandOverlapped(dir.Path("big"), dir.Path("out"))
                                          : ExpandLzhufFile(dir.Path("big").c_str(), dir.Path("out").c_str());
        setrlimit(RLIMIT_FSIZE, &saved);
        EXPECT_EQ(r.status, ExpandStatus::kDestAccessFailed);
        EXPECT_EQ(ExpandFailureText(r), "Erro de acesso ao arquivo " + dir.Path("out"));
        EXPECT_EQ(dir.Read("out"), "the old file");
        EXPECT_EQ(dir.Count(), 2u);
    }
    std::signal(SIGXFSZ, oldHandler);
}
#endif

TEST(ExpandLzhufFile, AgainstASumOnlyTheExactContentIsPlaced) {
    TempDir dir;
    std::string text;
    for (int i = 0; i < 2000; ++i) text += "entry " + std::to_string(i) + "\r\n";
    const std::string payload = Payload(text);
    SumEntry expected{"p", text.size(), {}};
    ASSERT_TRUE(HashBytes(text.data(), text.size(), expected.sha256));

    dir.Write("good", payload);
    dir.Write("out", "the old file");
    EXPECT_EQ(ExpandLzhufFile(dir.Path("good").c_str(), dir.Path("out").c_str(), LzhufEnd::ZeroBits, &expected).status,
              ExpandStatus::kOk);
    EXPECT_EQ(dir.Read("out"), text);

    std::string flipped = payload;
    flipped[payload.size() / 2] ^= 0x10;
    const std::string damaged[] = {flipped, payload.substr(0, 3), payload.substr(0, payload.size() / 2)};
    for (const std::string& bad : damaged) {
        dir.Write("bad", bad);
        dir.Write("out", "the old file");
        const ExpandResult r =
            ExpandLzhufFile(dir.Path("bad").c_str(), dir.Path("out").c_str(), LzhufEnd::ZeroBits, &expected);
        EXPECT_EQ(r.status, ExpandStatus::kDamaged);
        EXPECT_EQ(r.path, dir.Path("bad"));
        EXPECT_EQ(dir.Read("out"), "the old file");
        EXPECT_EQ(dir.Count(), 3u);  // good, bad and out: no temporary file
    }
    // Without a sum a cut payload still expands as the installer always did.
    EXPECT_EQ(ExpandLzhufFile(dir.Path("bad").c_str(), dir.Path("out").c_str()).status, ExpandStatus::kOk);
}

// A sum that names the packed bytes: bytes other than those reach no
// decoder, even bytes that would decode to the right file (a stream with more
// after its end), in the file and in memory alike.
TEST(ExpandLzhufFile, AgainstThePackedBytesNothingElseIsDecoded) {
    TempDir dir;
    const std::string text(5000, 'x'), payload = Payload(text);
    SumEntry expected{"p", text.size(), {}};
    ASSERT_TRUE(HashBytes(text.data(), text.size(), expected.sha256));
    expected.packed = true;
    expected.packedSize = payload.size();
    ASSERT_TRUE(HashBytes(payload.data(), payload.size(), expected.packedSha256));

    for (const std::string& bytes : {payload, payload + "more"}) {
        const bool good = bytes == payload;
        dir.Write("p", bytes);
        dir.Write("out", "the old file");
        const ExpandResult r = ExpandLzhufFile(dir.Path("p").c_str(), dir.Path("out").c_str(), LzhufEnd::ZeroBits, &expected);
        EXPECT_EQ(r.status, good ? ExpandStatus::kOk : ExpandStatus::kDamaged);
        EXPECT_EQ(r.decode.written, good ? text.size() : 0u);  // not decoded at all
        EXPECT_EQ(dir.Read("out"), good ? text : "the old file");
        DecodedPayload decoded;
        DecodeLzhufBytes(Bytes(bytes.begin(), bytes.end()), decoded, LzhufEnd::ZeroBits, &expected);
        EXPECT_EQ(decoded.status, good ? ExpandStatus::kOk : ExpandStatus::kDamaged);
        EXPECT_EQ(AsString(decoded.bytes), good ? text : "");
    }
}

// A payload stored inside a larger file, as a single-file setup.exe holds
// it: decoded from its stretch alone, whatever lies around it and wherever
// the stream stood; a stretch cut short is damage against the sum.
TEST(ExpandLzhufRange, DecodesAPayloadFromItsStretchOfALargerFile) {
    TempDir dir;
    std::string text;
    for (int i = 0; i < 2000; ++i) text += "stored " + std::to_string(i * 7) + "\r\n";
    const std::string payload = Payload(text);
    SumEntry expected{"p", text.size(), {}};
    ASSERT_TRUE(HashBytes(text.data(), text.size(), expected.sha256));
    // Bytes after the payload that would decode as more of it.
    dir.Write("setup.exe", std::string(70000, 'M') + payload + Payload(text));
    FilePtr file(std::fopen(dir.Path("setup.exe").c_str(), "rb"));
    ASSERT_TRUE(file);
    std::fseek(file.get(), 12345, SEEK_SET);
    FileRange range;
    range.file = file.get();
    range.offset = 70000;
    range.size = payload.size();
    for (const SumEntry* sum : {static_cast<const SumEntry*>(nullptr), static_cast<const SumEntry*>(&expected)}) {
        const ExpandResult r = ExpandLzhufRange(range, "p", dir.Path("out").c_str(), LzhufEnd::Stop, sum);
        EXPECT_EQ(r.status, ExpandStatus::kOk);
        EXPECT_EQ(dir.Read("out"), text);
    }
    range.size = payload.size() - 40;
    dir.Write("out", "the old file");
    const ExpandResult cut = ExpandLzhufRange(range, "p", dir.Path("out").c_str(), LzhufEnd::ZeroBits, &expected);
    EXPECT_EQ(cut.status, ExpandStatus::kDamaged);
    EXPECT_EQ(cut.path, "p");
    EXPECT_EQ(dir.Read("out"), "the old file");
}

// Decoded ahead and placed afterwards, or checked and written on another
// thread while it is decoded, a payload has the outcome and leaves the files
// it would have expanded in place, whichever failure comes first.
TEST(PlaceDecodedPayload, GivesWhatTheExpansionInPlaceGives) {
    TempDir dir;
    std::string text;
    // (More blocks of the decoder's output than the other thread holds.)
    for (int i = 0; i < 100000; ++i) text += "placed " + std::to_string(i) + "\r\n";
    const std::string payload = Payload(text);
    SumEntry expected{"p", text.size(), {}};
    ASSERT_TRUE(HashBytes(text.data(), text.size(), expected.sha256));
    std::string flipped = payload;
    flipped[payload.size() / 2] ^= 0x10;

    struct Case {
        std::string source;  // its bytes; none: missing
        bool sum;
        std::string dest;    // the destination's name
    };
    const Case cases[] = {
        {payload, true, "out"},        {payload, false, "out"},       {flipped, true, "out"},
        {payload.substr(0, 3), true, "out"}, {payload.substr(0, 3), false, "out"},
        {payload.substr(0, payload.size() / 2), true, "out"}, {flipped, true, "no-such-folder/out"},
        {payload, false, "no-such-folder/out"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dest + (c.sum ? " with sum, " : " without sum, ") + std::to_string(c.source.size()));
        const SumEntry* sum = c.sum ? &expected : nullptr;
        ExpandResult results[3];
        std::string placed[3];
        for (int way = 0; way < 3; ++way) {
            dir.Write("src", c.source);
            dir.Write("out", "the old file");
            const std::string dest = dir.Path(c.dest);
            if (way == 0) {
                results[way] = ExpandLzhufFile(dir.Path("src").c_str(), dest.c_str(), LzhufEnd::ZeroBits, sum);
            } else if (way == 1) {
                results[way] = ExpandOverlapped(dir.Path("src"), dest, sum);
            } else {
                DecodedPayload decoded;
                const std::string bytes = dir.Read("src");
                DecodeLzhufBytes(std::vector<uint8_t>(bytes.begin(), bytes.end()), decoded, LzhufEnd::ZeroBits, sum);
                results[way] = PlaceDecodedPayload(decoded, dir.Path("src").c_str(), dest.c_str());
            }
            placed[way] = dir.Read("out");
            EXPECT_EQ(dir.Count(), 2u);  // src and out: no temporary file
        }
        for (int way = 1; way < 3; ++way) {
            EXPECT_EQ(results[way].status, results[0].status) << "way " << way;
            EXPECT_EQ(results[way].path, results[0].path) << "way " << way;
            EXPECT_EQ(placed[way], placed[0]) << "way " << way;
        }
    }
    // A source that could not be read is reported before the destination is looked at.
    DecodedPayload missing;
    missing.status = ExpandStatus::kSourceOpenFailed;
    const ExpandResult r = PlaceDecodedPayload(missing, "gone.cmp", dir.Path("no-such-folder/out").c_str());
    EXPECT_EQ(r.status, ExpandStatus::kSourceOpenFailed);
    EXPECT_EQ(ExpandFailureText(r), "Erro de abertura no arquivo gone.cmp");
}
