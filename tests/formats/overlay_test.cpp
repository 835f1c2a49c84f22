// The medium's overlay: the PE layout it is found by, the round trip through
// the writer, and every kind of damage it must refuse with a reason.
#include "formats/overlay.h"

#include "base/file_io.h"

#include "tests/pe_bytes.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

namespace {

const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

bool Read(const std::string& file, OverlayFile& out, std::string* problem = nullptr) {
    return ReadOverlayFile(Bytes(file), file.size(), out, problem);
}

std::string Problem(const std::string& file) {
    OverlayFile out;
    std::string problem;
    EXPECT_FALSE(Read(file, out, &problem));
    return problem;
}

// An overlay with any table at all, even one the writer would refuse: the
// header, |body| (the items) and |entries| (the table), with the right digest.
struct RawEntry {
    uint8_t kind;
    std::string name;
    uint64_t offset, size;
};
std::string RawOverlay(const std::string& body, const std::vector<RawEntry>& entries) {
    std::string table;
    for (const RawEntry& e : entries) {
        std::string entry(1 + 2 + e.name.size() + 16, '\0');
        entry[0] = char(e.kind);
        pe_bytes::Put(entry, 1, e.name.size(), 2);
        entry.replace(3, e.name.size(), e.name);
        pe_bytes::Put(entry, 3 + e.name.size(), e.offset, 8);
        pe_bytes::Put(entry, 3 + e.name.size() + 8, e.size, 8);
        table += entry;
    }
    std::string header(kOverlayHeaderSize, '\0');
    header.replace(0, 8, kOverlayMagic, 8);
    pe_bytes::Put(header, 8, kOverlayHeaderSize, 4);
    pe_bytes::Put(header, 12, entries.size(), 4);
    pe_bytes::Put(header, 16, kOverlayHeaderSize + body.size() + table.size(), 8);
    pe_bytes::Put(header, 24, kOverlayHeaderSize + body.size(), 8);
    Sha256Digest digest;
    EXPECT_TRUE(HashBytes((body + table).data(), body.size() + table.size(), digest));
    header.replace(32, 32, reinterpret_cast<const char*>(digest.data()), 32);
    return header + body + table;
}

std::vector<OverlayItem> Items(std::initializer_list<std::pair<OverlayKind, std::string>> list) {
    std::vector<OverlayItem> items;
    for (const auto& item : list) items.push_back(OverlayItem{item.first, item.second, 0, 0});
    return items;
}

const std::string kDigest(32, '\x5A');

}  // namespace

TEST(PeLayout, ImageEndsAfterTheLastRawDataAndTheSignatureIsFound) {
    for (const bool pe32plus : {false, true}) {
        const std::string image = pe_bytes::Image(pe32plus);
        PeLayout layout;
        ASSERT_TRUE(ReadPeLayout(Bytes(image), image.size(), layout)) << pe32plus;
        EXPECT_EQ(layout.imageEnd, 0x800u);
        EXPECT_EQ(layout.certificateSize, 0u);
        EXPECT_EQ(WhatFollowsImage(layout, image.size()), AfterImage::kNothing);

        const std::string signedImage = pe_bytes::Signed(image + "abc", pe32plus, 40);
        ASSERT_TRUE(ReadPeLayout(Bytes(signedImage), kPeHeadSize, layout));
        EXPECT_EQ(layout.certificateOffset, 0x808u);
        EXPECT_EQ(layout.certificateSize, 40u);
        EXPECT_EQ(WhatFollowsImage(layout, signedImage.size()), AfterImage::kOverlay);
        const std::string bareSigned = pe_bytes::Signed(image, pe32plus);
        ASSERT_TRUE(ReadPeLayout(Bytes(bareSigned), bareSigned.size(), layout));
        EXPECT_EQ(WhatFollowsImage(layout, bareSigned.size()), AfterImage::kCertificate);
    }
}

TEST(PeLayout, RefusesWhatIsNotAPeFileWithinTheGivenBytes) {
    const std::string image = pe_bytes::Image();
    auto problem = [](const std::string& bytes, size_t size) {
        PeLayout layout;
        std::string text;
        EXPECT_FALSE(ReadPeLayout(Bytes(bytes), size, layout, &text));
        return text;
    };
    EXPECT_EQ(problem("ZM" + image.substr(2), image.size()), "not an MZ executable");
    EXPECT_EQ(problem(image, 0x30), "not an MZ executable");
    std::string far = image;
    pe_bytes::Put(far, 0x3C, 0x7F0, 4);
    EXPECT_EQ(problem(far, far.size()), "no PE header within the first bytes");
    // The section table ends at 0x40 + 24 + 224 + 3 * 40 = 0x1B0.
    EXPECT_EQ(problem(image, 0x1A0), "the section table is not within the first bytes");
    std::string small = image;
    pe_bytes::Put(small, 0x40 + 24 + 60, 0x100, 4);
    EXPECT_EQ(problem(small, small.size()), "SizeOfHeaders ends within the headers");
    std::string rom = image;
    pe_bytes::Put(rom, 0x40 + 24, 0x107, 2);
    EXPECT_EQ(problem(rom, rom.size()), "an optional header of unknown kind");
    std::string many = image;
    pe_bytes::Put(many, 0x44 + 2, 97, 2);
    EXPECT_EQ(problem(many, many.size()), "more sections than Windows loads");
}

TEST(Overlay, WriterAndFormatAgreeAndTheFileReadsBackSignedOrNot) {
    const std::vector<std::string> contents = {"list bytes", "", "payload \0 bytes", "Example Product",
                                               pe_bytes::Image()};
    const auto items = Items({{OverlayKind::kFile, "setup.drc"},
                              {OverlayKind::kFile, "terms.txt"},
                              {OverlayKind::kFile, "Docs\\Manual.tx_"},
                              {OverlayKind::kProductName, ""},
                              {OverlayKind::kUninstaller, ""}});
    const std::string overlay = FormatOverlay(items, contents);
    ASSERT_FALSE(overlay.empty());

    TempDir dir;
    {
        FilePtr file(std::fopen(dir.Path("setup.exe").c_str(), "wb"));
        ASSERT_TRUE(file);
        const std::string image = pe_bytes::Image();
        ASSERT_EQ(std::fwrite(image.data(), 1, image.size(), file.get()), image.size());
        OverlayWriter writer(file.get());
        for (size_t i = 0; i < items.size(); ++i)
            writer.Add(items[i].kind, items[i].name, contents[i].data(), contents[i].size());
        std::string problem;
        ASSERT_TRUE(writer.Finish(&problem)) << problem;
        EXPECT_EQ(writer.Size(), overlay.size());
        std::fputs("tail", file.get());  // the position is the overlay's end
    }
    EXPECT_EQ(dir.Read("setup.exe"), pe_bytes::Image() + overlay + "tail");

    for (const std::string& file : {pe_bytes::Image() + overlay, pe_bytes::Signed(pe_bytes::Image() + overlay)}) {
        OverlayFile read;
        std::string problem;
        ASSERT_TRUE(Read(file, read, &problem)) << problem;
        ASSERT_TRUE(read.present);
        ASSERT_EQ(read.items.size(), contents.size());
        for (size_t i = 0; i < contents.size(); ++i) {
            EXPECT_EQ(read.items[i].kind, items[i].kind);
            EXPECT_EQ(read.items[i].name, items[i].name);
            EXPECT_EQ(file.substr(size_t(read.layout.imageEnd + read.items[i].offset), size_t(read.items[i].size)),
                      contents[i]);
        }
        const OverlayItem* manual = FindOverlayItem(read.items, OverlayKind::kFile, "docs/MANUAL.TX_");
        ASSERT_NE(manual, nullptr);
        EXPECT_EQ(manual->size, contents[2].size());
        EXPECT_EQ(FindOverlayItem(read.items, OverlayKind::kSumDigest), nullptr);
        EXPECT_NE(FindOverlayItem(read.items, OverlayKind::kUninstaller), nullptr);
    }
    // A bare setup.exe, signed or not, has none.
    for (const std::string& bare : {pe_bytes::Image(), pe_bytes::Signed(pe_bytes::Image())}) {
        OverlayFile read;
        ASSERT_TRUE(Read(bare, read));
        EXPECT_FALSE(read.present);
    }
    // Sets the table cannot hold are not written.
    EXPECT_EQ(FormatOverlay(Items({{OverlayKind::kFile, "a"}, {OverlayKind::kFile, "A"}}), {"1", "2"}), "");
    EXPECT_EQ(FormatOverlay(Items({{OverlayKind::kSumDigest, ""}}), {"short"}), "");
    EXPECT_EQ(FormatOverlay(Items({{OverlayKind::kFile, ""}}), {"x"}), "");
}

TEST(Overlay, DamageAnywhereIsRefusedWithAReason) {
    const std::string image = pe_bytes::Image();
    const std::string good =
        image + FormatOverlay(Items({{OverlayKind::kFile, "setup.drc"}, {OverlayKind::kSumDigest, ""}}),
                              {"0123456789", kDigest});
    ASSERT_GT(good.size(), image.size());

    std::string changed = good;
    changed[image.size() + 64 + 3] ^= 1;
    EXPECT_EQ(Problem(changed), "the overlay's SHA-256 differs: its bytes are not as packed");
    EXPECT_EQ(Problem(good.substr(0, good.size() - 1)), "the overlay runs past the end of the file");
    EXPECT_EQ(Problem(good.substr(0, image.size() + 20)), "the file ends within the overlay's header");
    EXPECT_EQ(Problem(good.substr(0, 0x700)), "the file ends within its image");
    EXPECT_EQ(Problem(good + "x"), "1 bytes follow the overlay");
    EXPECT_EQ(Problem(image + "junk"), "the file ends within the overlay's header");
    EXPECT_EQ(Problem(image + std::string(64, 'j')), "no overlay header where the image ends");

    // A signature elsewhere than right after the overlay, or not to the end.
    std::string signedGood = pe_bytes::Signed(good);
    std::string moved = signedGood;
    pe_bytes::Put(moved, pe_bytes::CertificateEntry(false), good.size() + 8, 4);
    EXPECT_EQ(Problem(moved), "the certificate table does not follow the overlay");
    EXPECT_EQ(Problem(signedGood + "x"), "the certificate table does not end with the file");
    std::string padded = signedGood;
    padded[good.size()] = 1;  // good.size() is not a multiple of 8: padding follows
    ASSERT_NE(good.size() % 8, 0u);
    EXPECT_EQ(Problem(padded), "bytes other than zero before the certificate table");

    // The uninstaller's mark holds no bytes, and marks only a program whose
    // overlay holds it alone.
    const std::string mark = FormatOverlay(Items({{OverlayKind::kUninstallerOnly, ""}}), {""});
    OverlayFile marked;
    ASSERT_TRUE(Read(image + mark, marked));
    EXPECT_TRUE(IsUninstallerOnly(marked.items));
    ASSERT_TRUE(Read(good, marked));
    EXPECT_FALSE(IsUninstallerOnly(marked.items));
    const std::string filled = FormatOverlay(Items({{OverlayKind::kUninstallerOnly, ""}}), {"x"});
    EXPECT_EQ(filled, "");
    EXPECT_EQ(UninstallerMark(), mark);
    // The reference to this file's image as the uninstaller holds no bytes either.
    EXPECT_EQ(FormatOverlay(Items({{OverlayKind::kUninstallerIsImage, ""}}), {"x"}), "");
    EXPECT_TRUE(Read(image + FormatOverlay(Items({{OverlayKind::kUninstallerIsImage, ""}}), {""}), marked));
    // The uninstaller made from a file's own image: the image and the mark;
    // from a file signed since, its image naming no certificate table.
    OverlayFile file;
    ASSERT_TRUE(Read(good, file));
    EXPECT_EQ(UninstallerOfImage(Bytes(good), file.layout), image + mark);
    ASSERT_TRUE(Read(signedGood, file));
    ASSERT_NE(file.layout.certificateSize, 0u);
    const std::string made = UninstallerOfImage(Bytes(signedGood), file.layout);
    ASSERT_TRUE(Read(made, marked));
    EXPECT_EQ(marked.layout.certificateSize, 0u);
    EXPECT_TRUE(IsUninstallerOnly(marked.items));

    // A certificate table holds its one signature and nothing beside it.
    const size_t table = signedGood.size() - 24;
    auto withTable = [&](std::string bytes) {
        std::string file = signedGood.substr(0, table) + bytes;
        pe_bytes::Put(file, pe_bytes::CertificateEntry(false) + 4, bytes.size(), 4);
        return file;
    };
    const std::string entry = signedGood.substr(table);
    std::string added = entry + std::string(8, '\0');
    pe_bytes::Put(added, 0, 32, 4);
    EXPECT_EQ(Problem(withTable(added)), "the certificate table holds bytes beside its signature");
    std::string longer = entry;
    pe_bytes::Put(longer, 9, 0x20, 1);  // a DER length past the table
    EXPECT_EQ(Problem(withTable(longer)), "the certificate table's signature runs past the table");
    std::string twoEntries = entry + entry;  // the first entry's length says 24 of 48
    EXPECT_EQ(Problem(withTable(twoEntries)), "the certificate table holds more than its one entry");
    std::string x509 = entry;
    pe_bytes::Put(x509, 6, 1, 2);  // WIN_CERT_TYPE_X509
    EXPECT_EQ(Problem(withTable(x509)), "the certificate table holds something other than a signature");
    EXPECT_EQ(Problem(withTable(std::string(24, 'C'))), "the certificate table holds something other than a signature");

    // The header's numbers.
    std::string past = good;
    pe_bytes::Put(past, image.size() + 24, good.size(), 8);  // table offset beyond the overlay
    EXPECT_EQ(Problem(past), "the table of contents lies outside the overlay");
    std::string many = good;
    pe_bytes::Put(many, image.size() + 12, 1000, 4);
    EXPECT_EQ(Problem(many), "the table of contents is too short for its entries");
    std::string fewer = good;
    pe_bytes::Put(fewer, image.size() + 12, 1, 4);
    EXPECT_EQ(Problem(fewer), "bytes after the last entry of the table of contents");

    // The table's entries.
    const std::string body = "0123456789";
    const struct {
        std::vector<RawEntry> entries;
        std::string problem;
    } tables[] = {
        {{{0, "a", 64, 11}}, "entry 1: lies outside the items"},
        {{{0, "a", 63, 1}}, "entry 1: lies outside the items"},
        {{{0, "a", 64, UINT64_MAX}}, "entry 1: lies outside the items"},
        {{{0, "a", 64, 6}, {0, "b", 69, 5}}, "two items overlap"},
        {{{0, "a", 64, 5}, {0, "B\\c", 69, 5}, {0, "b/C", 74, 0}}, "the file b/C twice"},
        {{{3, "", 64, 10}}, "entry 1: a digest not of 32 bytes"},
        {{{1, "", 64, 5}, {1, "", 69, 5}}, "an entry of kind 1 twice"},
        {{{1, "name", 64, 5}}, "entry 1: a name where none belongs"},
        {{{0, "", 64, 5}}, "entry 1: the name is empty or holds a control character"},
        {{{0, "a\nb", 64, 5}}, "entry 1: the name is empty or holds a control character"},
        {{{6, "", 64, 5}}, "entry 1: of unknown kind"},
        {{{5, "", 64, 5}}, "entry 1: bytes in the uninstaller's mark"},
        {{{4, "", 64, 5}}, "entry 1: bytes in the uninstaller's mark"},
    };
    for (const auto& t : tables) EXPECT_EQ(Problem(image + RawOverlay(body, t.entries)), t.problem);
    // Items that touch, and empty ones, are no overlap.
    OverlayFile read;
    EXPECT_TRUE(Read(image + RawOverlay(body, {{0, "a", 64, 5}, {0, "b", 69, 0}, {0, "c", 69, 5}}), read));
    // An entry cut short: its name runs into the end of the table.
    std::string cut = image + RawOverlay(body, {{0, "abc", 64, 5}});
    pe_bytes::Put(cut, image.size() + 64 + body.size() + 1, 200, 2);
    OverlayHeader header;
    ASSERT_TRUE(ParseOverlayHeader(Bytes(cut) + image.size(), 64, cut.size() - image.size(), header));
    std::vector<OverlayItem> items;
    std::string problem;
    EXPECT_FALSE(ParseOverlayTable(header, Bytes(cut) + image.size() + header.tableOffset, size_t(header.TableSize()),
                                   items, &problem));
    EXPECT_EQ(problem, "entry 1: cut short");
    EXPECT_TRUE(items.empty());
}
