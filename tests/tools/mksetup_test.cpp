// The packaging tool's commands, run in-process on temporary folders.
#include "tools/mksetup/mksetup.h"

#include "formats/overlay.h"
#include "formats/scramble.h"
#include "formats/setup_sum.h"
#include "tests/pe_bytes.h"
#include "tests/temp_dir.h"
#include "tools/mksetup/mksetup_files.h"
#include "expand/solid_block.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome Mksetup(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = RunMksetup(args, out, err);
    return {status, out.str(), err.str()};
}

std::string RandomBytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = char(rng());
    return s;
}

bool HasTemporaryFiles(const std::string& folder) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.path().string().find(".mksetup-tmp") != std::string::npos)
            return true;
    return false;
}

class MksetupTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_files["readme.txt"] = "Example product\r\nRead me first.\r\n";
        m_files["empty.dat"] = "";
        m_files["tool.dll"] = "MZ" + RandomBytes(20000, 1) + std::string(30000, '\0') + RandomBytes(5000, 2);
        std::string text;
        for (int i = 0; i < 5000; ++i)
            text += "line " + std::to_string(i % 97) + " of the manual\r\n";
        m_files["docs/manual.txt"] = text;
        for (const auto& f : m_files)
            m_dir.Write("src/" + f.first, f.second);
        m_list = "X;?PRGFDIR?\\Example\r\n"
                 "F;readme.txt;?APPDIR?\\readme.txt\r\n"
                 "F;empty.dat;?APPDIR?\\empty.dat\r\n"
                 "F;TOOL.DLL;?SYSTEM?\\tool.dll\r\n"
                 "F;docs\\manual.txt;?APPDIR?\\manual.txt\r\n"
                 "F;readme.txt;?APPDIR?\\copy\\readme.txt\r\n"
                 "K;DWORD;HKEY_CURRENT_USER;Software;Example;Runs;0\r\n";
        m_dir.Write("setup.lst", m_list);
        m_dir.Write("Setup2.txt", "Welcome\r\n");
        m_dir.Write("terms.txt", "Terms\r\n");
        m_dir.Write("bin/setup.exe", pe_bytes::Image());
    }

    // The overlay of the file |name| in the test's folder, checked whole.
    OverlayFile Overlay(const std::string& name) {
        const std::string file = m_dir.Read(name);
        OverlayFile overlay;
        std::string problem;
        EXPECT_TRUE(ReadOverlayFile(reinterpret_cast<const uint8_t*>(file.data()), file.size(), overlay, &problem))
            << problem;
        return overlay;
    }

    std::string Expanded(const std::string& packed) {
        const Outcome r = Mksetup({"expand", m_dir.Path(packed), m_dir.Path("check.out")});
        EXPECT_EQ(r.status, kExitOk) << r.err;
        return m_dir.Read("check.out");
    }

    TempDir m_dir;
    std::map<std::string, std::string> m_files;
    std::string m_list;
};

}  // namespace

TEST_F(MksetupTest, BuildThenExpandGivesEveryFileBack) {
    const Outcome r = Mksetup({"build", m_dir.Path("setup.lst"), m_dir.Path("src"), m_dir.Path("dist"), "--setup-exe",
                           m_dir.Path("bin/setup.exe")});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_NE(r.out.find("packed 4 files"), std::string::npos) << r.out;

    EXPECT_EQ(Expanded("dist/readme.txt"), m_files["readme.txt"]);
    EXPECT_EQ(Expanded("dist/empty.dat"), "");
    EXPECT_EQ(Expanded("dist/TOOL.DLL"), m_files["tool.dll"]);   // under the name the list uses
    EXPECT_EQ(Expanded("dist/docs/manual.txt"), m_files["docs/manual.txt"]);
    EXPECT_LT(m_dir.Read("dist/docs/manual.txt").size(), m_files["docs/manual.txt"].size() / 4);

    std::string drc = m_dir.Read("dist/setup.drc");
    ScrambleBuffer(reinterpret_cast<uint8_t*>(&drc[0]), drc.size());
    EXPECT_EQ(drc, m_list);
    EXPECT_EQ(Mksetup({"show", m_dir.Path("dist/setup.drc")}).out, m_list);
    EXPECT_EQ(m_dir.Read("dist/Setup2.txt"), "Welcome\r\n");
    EXPECT_EQ(m_dir.Read("dist/terms.txt"), "Terms\r\n");
    // setup.exe carries the digest of the folder's setup.sum after its image.
    const std::string setupExe = m_dir.Read("dist/setup.exe");
    EXPECT_EQ(setupExe.substr(0, pe_bytes::Image().size()), pe_bytes::Image());
    const OverlayFile overlay = Overlay("dist/setup.exe");
    ASSERT_EQ(overlay.items.size(), 1u);
    ASSERT_EQ(overlay.items[0].kind, OverlayKind::kSumDigest);
    Sha256Digest digest;
    const std::string sum = m_dir.Read("dist/setup.sum");
    ASSERT_TRUE(HashBytes(sum.data(), sum.size(), digest));
    EXPECT_EQ(setupExe.substr(size_t(overlay.layout.imageEnd + overlay.items[0].offset), 32),
              std::string(digest.begin(), digest.end()));
    for (const char* text : {"Setup2.txt", "terms.txt"})
        EXPECT_NE(sum.find(" " + std::to_string(m_dir.Read(text).size()) + " " + text + "\r\n"), std::string::npos);
    EXPECT_FALSE(HasTemporaryFiles(m_dir.Path("dist")));

    // A setup.exe that is no bare PE image is not built on.
    for (const std::string& bad : {std::string("MZ fake installer"), pe_bytes::Signed(pe_bytes::Image())}) {
        m_dir.Write("bin/setup.exe", bad);
        std::filesystem::remove_all(m_dir.Path("dist"));
        const Outcome refused = Mksetup({"build", m_dir.Path("setup.lst"), m_dir.Path("src"), m_dir.Path("dist"),
                                         "--setup-exe", m_dir.Path("bin/setup.exe")});
        EXPECT_EQ(refused.status, kExitFailed);
        EXPECT_NE(refused.err.find(bad.size() < 100 ? "is not a setup.exe to build on: " : "does not end with its image"),
                  std::string::npos) << refused.err;
        EXPECT_FALSE(m_dir.Exists("dist/setup.drc"));
    }
}

TEST_F(MksetupTest, VerifyChecksTheBuiltDistributionAgainstItsSum) {
    ASSERT_EQ(Mksetup({"build", m_dir.Path("setup.lst"), m_dir.Path("src"), m_dir.Path("dist"), "--setup-exe",
                       m_dir.Path("bin/setup.exe")}).status,
              kExitOk);
    Outcome r = Mksetup({"verify", m_dir.Path("dist")});
    EXPECT_EQ(r.status, kExitOk) << r.out << r.err;
    EXPECT_NE(r.out.find("docs\\manual.txt: ok\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("setup.exe: ok\n"), std::string::npos) << r.out;
    // four payloads, setup.drc, the two texts and the digest in setup.exe
    EXPECT_NE(r.out.find(": 8 files ok\n"), std::string::npos) << r.out;

    // Another consistent set of files and setup.sum: setup.exe's digest tells.
    m_dir.Write("other.lst", "F;readme.txt;?APPDIR?\\readme.txt\r\n");
    ASSERT_EQ(Mksetup({"build", m_dir.Path("other.lst"), m_dir.Path("src"), m_dir.Path("other")}).status, kExitOk);
    const std::string sum = m_dir.Read("dist/setup.sum"), drcBefore = m_dir.Read("dist/setup.drc");
    m_dir.Write("dist/setup.sum", m_dir.Read("other/setup.sum"));
    m_dir.Write("dist/setup.drc", m_dir.Read("other/setup.drc"));
    r = Mksetup({"verify", m_dir.Path("dist")});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.out.find("readme.txt: ok\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("setup.exe: DAMAGED, the digest of setup.sum it carries differs"), std::string::npos) << r.out;
    m_dir.Write("dist/setup.sum", sum);
    m_dir.Write("dist/setup.drc", drcBefore);
    std::filesystem::remove(m_dir.Path("dist/setup.exe"));

    // One byte changed, one payload cut short, one gone, one list line added
    // whose payload setup.sum does not know, other terms.
    std::string packed = m_dir.Read("dist/TOOL.DLL");
    packed[packed.size() / 2] ^= 1;
    m_dir.Write("dist/TOOL.DLL", packed);
    const std::string manual = m_dir.Read("dist/docs/manual.txt");
    m_dir.Write("dist/docs/manual.txt", manual.substr(0, manual.size() - 40));
    std::filesystem::remove(m_dir.Path("dist/empty.dat"));
    std::string drc = m_list + "F;extra.txt;?APPDIR?\\extra.txt\r\n";
    ScrambleBuffer(reinterpret_cast<uint8_t*>(&drc[0]), drc.size());
    m_dir.Write("dist/setup.drc", drc);
    m_dir.Write("dist/terms.txt", "Other terms\r\n");
    r = Mksetup({"verify", m_dir.Path("dist")});
    EXPECT_EQ(r.status, kExitFailed);
    for (const char* line : {"readme.txt: ok\n", "TOOL.DLL: DAMAGED, ", "docs\\manual.txt: DAMAGED, ends before its stated size\n",
                             "empty.dat: DAMAGED, missing or unreadable\n", "setup.drc: DAMAGED, ",
                             "Setup2.txt: ok\n", "terms.txt: DAMAGED, 13 bytes where setup.sum says 7\n",
                             "extra.txt: NOT IN setup.sum\n", ": 6 of 8 files damaged, missing or not listed\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;

    // Bytes added after a payload's stream still decode to the same file, but
    // are not what was packed: the installer refuses them before decoding.
    m_dir.Write("dist/readme.txt", m_dir.Read("dist/readme.txt") + "more");
    r = Mksetup({"verify", m_dir.Path("dist")});
    EXPECT_NE(r.out.find("readme.txt: DAMAGED, packed, "), std::string::npos) << r.out;

    m_dir.Write("dist/setup.sum", "setup.sum 1\r\nnonsense\r\n");
    r = Mksetup({"verify", m_dir.Path("dist")});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.err.find("setup.sum: line 2: too short"), std::string::npos) << r.err;
}

TEST_F(MksetupTest, LzmaAndLz4DistributionsVerifyAndTheirDamageIsFound) {
    for (const std::string codec : {"lzma", "lz4"}) {
        SCOPED_TRACE(codec);
        const std::string dist = "dist-" + codec;
        const Outcome built = Mksetup({"build", m_dir.Path("setup.lst"), m_dir.Path("src"), m_dir.Path(dist),
                                       "--codec", codec});
        ASSERT_EQ(built.status, kExitOk) << built.err;
        EXPECT_EQ(Expanded(dist + "/docs/manual.txt"), m_files["docs/manual.txt"]);
        EXPECT_EQ(Expanded(dist + "/empty.dat"), "");
        Outcome r = Mksetup({"verify", m_dir.Path(dist)});
        EXPECT_EQ(r.status, kExitOk) << r.out << r.err;
        EXPECT_NE(r.out.find(": 7 files ok\n"), std::string::npos) << r.out;

        // A byte changed in the stream, a payload cut short, one whose header
        // states another size.
        std::string packed = m_dir.Read(dist + "/TOOL.DLL");
        packed[packed.size() / 2] ^= 1;
        m_dir.Write(dist + "/TOOL.DLL", packed);
        const std::string manual = m_dir.Read(dist + "/docs/manual.txt");
        m_dir.Write(dist + "/docs/manual.txt", manual.substr(0, manual.size() - 1));
        std::string readme = m_dir.Read(dist + "/readme.txt");
        readme[6] ^= 1;
        m_dir.Write(dist + "/readme.txt", readme);
        r = Mksetup({"verify", m_dir.Path(dist)});
        EXPECT_EQ(r.status, kExitFailed);
        const std::string refused = "docs\\manual.txt: DAMAGED, its " + std::string(codec == "lzma" ? "LZMA" : "LZ4") +
                                    " stream is refused";
        for (const std::string& line : {std::string("TOOL.DLL: DAMAGED, "), refused,
                                       std::string("readme.txt: DAMAGED, states 32 bytes where setup.sum says 33\n"),
                                       std::string("empty.dat: ok\n")})
            EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
    }
}

// A solid build: every file in one block, each payload naming its place;
// verify reads members through the block, in a folder and in one file, and
// a changed block damages its members. The list may not name a block.
TEST_F(MksetupTest, ASolidBuildVerifiesThroughItsBlock) {
    const std::string list = m_dir.Path("setup.lst"), src = m_dir.Path("src");
    Outcome r = Mksetup({"build", list, src, m_dir.Path("solid"), "--solid"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(m_dir.Read("solid/readme.txt").size(), kSolidMemberSize);
    r = Mksetup({"verify", m_dir.Path("solid")});
    EXPECT_EQ(r.status, kExitOk) << r.out;
    EXPECT_NE(r.out.find("setup.s01: ok\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(": 8 files ok\n"), std::string::npos) << r.out;
    r = Mksetup({"build", list, src, m_dir.Path("one"), "--solid", "--single-file", "--setup-exe",
                 m_dir.Path("bin/setup.exe")});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(Mksetup({"verify", m_dir.Path("one/setup.exe")}).status, kExitOk);

    std::string block = m_dir.Read("solid/setup.s01");
    block[block.size() / 2] ^= 1;
    m_dir.Write("solid/setup.s01", block);
    r = Mksetup({"verify", m_dir.Path("solid")});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.out.find("docs\\manual.txt: DAMAGED, its solid block setup.s01 is damaged"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("setup.s01: DAMAGED, "), std::string::npos) << r.out;

    EXPECT_EQ(Mksetup({"build", list, src, m_dir.Path("x"), "--solid", "--codec", "lz4"}).status, kExitUsage);
    m_dir.Write("src/setup.s01", "mine");
    m_dir.Write("named.lst", "F;setup.s01;?APPDIR?\\setup.s01\r\n");
    r = Mksetup({"build", m_dir.Path("named.lst"), src, m_dir.Path("named"), "--solid"});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.err.find("the list names setup.s01, a name that a solid build gives its blocks"), std::string::npos)
        << r.err;
}

TEST_F(MksetupTest, SingleFileHoldsTheWholeDistributionAndVerifyAndUnpackReadIt) {
    const std::string list = m_dir.Path("setup.lst"), src = m_dir.Path("src"), exe = m_dir.Path("bin/setup.exe");
    ASSERT_EQ(Mksetup({"build", list, src, m_dir.Path("folder"), "--setup-exe", exe}).status, kExitOk);
    Outcome r = Mksetup({"build", list, src, m_dir.Path("one"), "--setup-exe", exe, "--single-file",
                         "--product-name", "Example Product"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_NE(r.out.find("packed 4 files"), std::string::npos) << r.out;
    EXPECT_EQ(m_dir.Count("one"), 1u);  // setup.exe alone

    const OverlayFile overlay = Overlay("one/setup.exe");
    ASSERT_TRUE(overlay.present);
    const std::string single = m_dir.Read("one/setup.exe");
    auto stored = [&](OverlayKind kind, const std::string& name = std::string()) {
        const OverlayItem* item = FindOverlayItem(overlay.items, kind, name);
        EXPECT_NE(item, nullptr) << name;
        return item ? single.substr(size_t(overlay.layout.imageEnd + item->offset), size_t(item->size)) : "";
    };
    // Every file as the folder build writes it, the name, the bare program.
    for (const char* name : {"setup.drc", "setup.sum", "Setup2.txt", "terms.txt", "readme.txt", "empty.dat", "TOOL.DLL",
                             "docs/manual.txt"})
        EXPECT_EQ(stored(OverlayKind::kFile, name), m_dir.Read(std::string("folder/") + name)) << name;
    EXPECT_EQ(stored(OverlayKind::kProductName), "Example Product");
    // Unsigned, the uninstaller is not carried twice: it is the file's own
    // image (the bare program) with the uninstaller's mark as its overlay.
    EXPECT_EQ(stored(OverlayKind::kUninstallerIsImage), "");
    EXPECT_EQ(FindOverlayItem(overlay.items, OverlayKind::kUninstaller), nullptr);
    EXPECT_EQ(single.substr(0, size_t(overlay.layout.imageEnd)), pe_bytes::Image());
    const std::string uninstaller = pe_bytes::Image() + UninstallerMark();
    EXPECT_EQ(overlay.items.size(), 10u);

    r = Mksetup({"verify", m_dir.Path("one/setup.exe")});
    EXPECT_EQ(r.status, kExitOk) << r.out << r.err;
    for (const char* line : {"the overlay is whole (10 items)\n", "docs\\manual.txt: ok\n", "terms.txt: ok\n",
                             "uninstall.exe: ok\n", "product name: Example Product\n", ": 8 files ok\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
    r = Mksetup({"unpack", m_dir.Path("one/setup.exe"), m_dir.Path("back")});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(m_dir.Read("back/docs/manual.txt"), m_dir.Read("folder/docs/manual.txt"));
    EXPECT_EQ(m_dir.Read("back/uninstall.exe"), uninstaller);

    // A changed byte, a cut, something after the end: refused whole, nothing unpacked.
    std::string changed = single;
    changed[size_t(overlay.layout.imageEnd) + 100] ^= 1;
    for (const auto& bad : {std::make_pair(changed, "the overlay's SHA-256 differs"),
                            std::make_pair(single.substr(0, single.size() - 1), "the overlay runs past the end"),
                            std::make_pair(single + "x", "1 bytes follow the overlay")}) {
        m_dir.Write("bad.exe", bad.first);
        r = Mksetup({"verify", m_dir.Path("bad.exe")});
        EXPECT_EQ(r.status, kExitFailed);
        EXPECT_NE(r.out.find(m_dir.Path("bad.exe") + ": DAMAGED, " + bad.second), std::string::npos) << r.out;
        EXPECT_EQ(Mksetup({"unpack", m_dir.Path("bad.exe"), m_dir.Path("bad")}).status, kExitFailed);
        EXPECT_FALSE(m_dir.Exists("bad"));
    }
    // A whole overlay whose stored payload is not what setup.sum says.
    std::vector<OverlayItem> items;
    std::vector<std::string> contents;
    for (const OverlayItem& item : overlay.items) {
        items.push_back(item);
        contents.push_back(SameSumName(item.name, "readme.txt") ? stored(OverlayKind::kFile, "TOOL.DLL")
                                                                : stored(item.kind, item.name));
    }
    m_dir.Write("swapped.exe", pe_bytes::Image() + FormatOverlay(items, contents));
    r = Mksetup({"verify", m_dir.Path("swapped.exe")});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.out.find("readme.txt: DAMAGED, 55002 bytes where setup.sum says 33\n"), std::string::npos) << r.out;
    // A bare setup.exe and a folder's hold no distribution.
    r = Mksetup({"verify", m_dir.Path("folder/setup.exe")});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.err.find("holds no distribution"), std::string::npos) << r.err;

    // A signing that fails leaves nothing behind.
    r = Mksetup({"build", list, src, m_dir.Path("failed"), "--setup-exe", exe, "--single-file", "--sign", "exit 3"});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.err.find("the signing command failed with exit status 3"), std::string::npos) << r.err;
    EXPECT_EQ(m_dir.Count("failed"), 0u);

    // The options that go with it.
    EXPECT_EQ(Mksetup({"build", list, src, m_dir.Path("x"), "--single-file"}).status, kExitUsage);
    EXPECT_EQ(Mksetup({"build", list, src, m_dir.Path("x"), "--setup-exe", exe, "--product-name", "P"}).status,
              kExitUsage);
    EXPECT_EQ(Mksetup({"build", list, src, m_dir.Path("x"), "--setup-exe", exe, "--single-file", "--product-name"}).status,
              kExitUsage);
    EXPECT_FALSE(m_dir.Exists("x"));
}

TEST_F(MksetupTest, BuildWithErrorsWritesNothingAndAFailedBuildLeavesNoList) {
    const std::vector<std::string> build = {"build", m_dir.Path("setup.lst"), m_dir.Path("src"), m_dir.Path("dist")};
    ASSERT_EQ(Mksetup(build).status, kExitOk);
    const std::string drc = m_dir.Read("dist/setup.drc");

    // Errors in the list: the earlier distribution stays as it was.
    m_dir.Write("setup.lst", m_list + "F;missing.txt;?APPDIR?\\missing.txt\r\n");
    const Outcome r = Mksetup(build);
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.err.find(m_dir.Path("setup.lst") + ":8: error: source file 'missing.txt' is not in the source folder"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(m_dir.Read("dist/setup.drc"), drc);

    m_dir.Write("setup.lst", m_list + "F;..\\setup.lst;x\r\n");
    m_dir.Write("setup.lst.copy", m_list);
    EXPECT_EQ(Mksetup(build).status, kExitFailed);

    // A build that fails half way leaves no setup.drc: the folder cannot pass
    // for a finished distribution.
    m_dir.Write("setup.lst", m_list);
    std::filesystem::remove_all(m_dir.Path("dist/docs"));
    m_dir.Write("dist/docs", "a file where a folder should be");
    EXPECT_EQ(Mksetup(build).status, kExitFailed);
    EXPECT_FALSE(m_dir.Exists("dist/setup.drc"));
}

TEST_F(MksetupTest, CheckPrintsIssuesAndSetsTheStatus) {
    EXPECT_EQ(Mksetup({"check", m_dir.Path("setup.lst"), m_dir.Path("src")}).status, kExitOk);

    m_dir.Write("warn.lst", "F;readme.txt;?Appdir?\\readme.txt\r\n");
    Outcome r = Mksetup({"check", m_dir.Path("warn.lst"), m_dir.Path("src")});
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_EQ(r.out.rfind(m_dir.Path("warn.lst") + ":1: warning: '?Appdir?'", 0), 0u) << r.out;

    m_dir.Write("bad.lst", "F;readme.txt;x\r\nK;SZ;HKLM;Software;V;d\r\nQ;what\r\n");
    r = Mksetup({"check", m_dir.Path("bad.lst")});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.out.find("bad.lst:2: error: registry root 'HKLM'"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("bad.lst:3: error: unknown record letter 'Q'"), std::string::npos) << r.out;

    // A NUL separator, which the installer's registry walk once followed past the text.
    m_dir.Write("zero.lst", std::string("K\0SZ\0HKEY_CURRENT_USER\0x\0v\r\n", 28));
    r = Mksetup({"check", m_dir.Path("zero.lst")});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.out.find("zero.lst:1: error: the separator is a NUL byte"), std::string::npos) << r.out;
    EXPECT_EQ(Mksetup({"build", m_dir.Path("zero.lst"), m_dir.Path("src"), m_dir.Path("dist")}).status, kExitFailed);
    EXPECT_FALSE(m_dir.Exists("dist"));
}

TEST_F(MksetupTest, BuildReplacesNeitherSourcesNorFolders) {
    const std::vector<std::string> build = {"build", m_dir.Path("setup.lst"), m_dir.Path("src"), m_dir.Path("dist")};
    Outcome r = Mksetup({"build", m_dir.Path("setup.lst"), m_dir.Path("src"), m_dir.Path("src/.")});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.err.find("is SOURCE_DIR; the packed files would replace the sources"), std::string::npos) << r.err;
    EXPECT_EQ(m_dir.Read("src/readme.txt"), m_files["readme.txt"]);

    // A folder where a packed file or the list goes stays, and the build fails.
    m_dir.Write("dist/readme.txt/keep", "k");
    r = Mksetup(build);
    EXPECT_EQ(r.status, kExitFailed);
    const std::string packed = (std::filesystem::path(m_dir.Path("dist")) / "readme.txt").string();
    EXPECT_NE(r.err.find("cannot write " + packed), std::string::npos) << r.err;
    std::filesystem::remove_all(m_dir.Path("dist"));
    m_dir.Write("dist/setup.drc/keep", "k");
    r = Mksetup(build);
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.err.find("setup.drc is a folder"), std::string::npos) << r.err;
    EXPECT_EQ(m_dir.Read("dist/setup.drc/keep"), "k");

    // A source named like one of the distribution's own files.
    m_dir.Write("src/Setup.exe", "MZ payload");
    m_dir.Write("setup.lst", m_list + "F;Setup.exe;?APPDIR?\\tool.exe\r\n");
    r = Mksetup(build);
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.err.find("setup.lst:8: error: source file 'Setup.exe' would be packed under the name"),
              std::string::npos) << r.err;
}

TEST_F(MksetupTest, FileSystemErrorsAreMessages) {
    const std::string tooLong = m_dir.Path(std::string(5000, 'a'));
    const std::string list = m_dir.Path("setup.lst"), src = m_dir.Path("src");
    std::vector<std::vector<std::string>> commands = {
        {"check", list, tooLong}, {"build", list, tooLong, m_dir.Path("dist")}, {"build", list, src, tooLong}};
#if !defined(_WIN32)
    std::filesystem::create_symlink("loop1", m_dir.Path("loop2"));
    std::filesystem::create_symlink("loop2", m_dir.Path("loop1"));
    commands.push_back({"check", list, m_dir.Path("loop1")});
    commands.push_back({"build", list, src, m_dir.Path("loop1/out")});
#endif
    for (const auto& command : commands) {
        const Outcome r = Mksetup(command);
        EXPECT_EQ(r.status, kExitFailed) << command[0] << " " << command.back();
        EXPECT_EQ(r.err.rfind("mksetup: ", 0), 0u) << r.err;
    }
}

TEST_F(MksetupTest, CompressAndExpandSingleFiles) {
    ASSERT_EQ(Mksetup({"compress", m_dir.Path("src/tool.dll"), m_dir.Path("tool.dl_")}).status, kExitOk);
    EXPECT_EQ(Expanded("tool.dl_"), m_files["tool.dll"]);
    // With LZMA: smaller, and expand tells the codec by the header; a cut
    // one is refused by the codec.
    const Outcome lzma = Mksetup({"compress", m_dir.Path("src/tool.dll"), m_dir.Path("tool.lz_"), "--codec", "lzma"});
    ASSERT_EQ(lzma.status, kExitOk) << lzma.err;
    EXPECT_NE(lzma.out.find(", lzma)"), std::string::npos) << lzma.out;
    EXPECT_EQ(Expanded("tool.lz_"), m_files["tool.dll"]);
    EXPECT_LT(m_dir.Read("tool.lz_").size(), m_dir.Read("tool.dl_").size());
    const std::string lzmaPacked = m_dir.Read("tool.lz_");
    m_dir.Write("cut.lz_", lzmaPacked.substr(0, lzmaPacked.size() - 1));
    const Outcome cutLzma = Mksetup({"expand", m_dir.Path("cut.lz_"), m_dir.Path("cut.out")});
    EXPECT_EQ(cutLzma.status, kExitFailed);
    EXPECT_NE(cutLzma.err.find("is damaged: its codec refuses it"), std::string::npos) << cutLzma.err;
    EXPECT_FALSE(m_dir.Exists("cut.out"));

    // A cut or short file is refused and leaves the output as it was.
    const std::string packed = m_dir.Read("tool.dl_");
    m_dir.Write("cut", packed.substr(0, packed.size() / 2));
    m_dir.Write("short", packed.substr(0, 3));
    m_dir.Write("out", "before");
    Outcome r = Mksetup({"expand", m_dir.Path("cut"), m_dir.Path("out")});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.err.find("truncated or damaged"), std::string::npos) << r.err;
    EXPECT_EQ(Mksetup({"expand", m_dir.Path("short"), m_dir.Path("out")}).status, kExitFailed);
    EXPECT_EQ(Mksetup({"expand", m_dir.Path("absent"), m_dir.Path("out")}).status, kExitFailed);
    EXPECT_EQ(m_dir.Read("out"), "before");
    EXPECT_FALSE(HasTemporaryFiles(m_dir.Path()));

    EXPECT_EQ(Mksetup({"compress", m_dir.Path("absent"), m_dir.Path("x")}).status, kExitFailed);
    EXPECT_FALSE(m_dir.Exists("x"));

    // A negative stated size expands to nothing in the installer; here it is damage.
    m_dir.Write("negative", "\xFF\xFF\xFF\xFF");
    r = Mksetup({"expand", m_dir.Path("negative"), m_dir.Path("out")});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.err.find("states a negative size (-1): damaged"), std::string::npos) << r.err;
    EXPECT_EQ(m_dir.Read("out"), "before");

    // A folder at OUT stays, empty or not, and the command fails.
    m_dir.Write("full/keep", "k");
    std::filesystem::create_directory(m_dir.Path("empty"));
    for (const char* folder : {"full", "empty"}) {
        for (const char* command : {"compress", "expand"}) {
            r = Mksetup({command, m_dir.Path(command == std::string("compress") ? "src/tool.dll" : "tool.dl_"),
                         m_dir.Path(folder)});
            EXPECT_EQ(r.status, kExitFailed) << command << " " << folder;
            EXPECT_EQ(r.err, "mksetup: " + m_dir.Path(folder) + " is a folder; it is not replaced by a file\n");
            EXPECT_TRUE(std::filesystem::is_directory(m_dir.Path(folder)));
        }
    }
    EXPECT_EQ(m_dir.Read("full/keep"), "k");

    std::ostream broken(nullptr);
    std::ostringstream err;
    EXPECT_EQ(RunMksetup({"show", m_dir.Path("setup.lst")}, broken, err), kExitFailed);
    EXPECT_EQ(err.str(), "mksetup: cannot write standard output\n");
}

#if !defined(_WIN32)
TEST(MksetupInterrupt, TerminationRemovesTheTemporaryFile) {
    TempDir dir;
    const std::string path = dir.Path("out.mksetup-tmp");
    EXPECT_EXIT(
        {
            RemoveTemporaryFileOnInterrupt();
            TemporaryFile temporary(path);
            std::ofstream(path) << "partial";
            std::raise(SIGTERM);
        },
        ::testing::KilledBySignal(SIGTERM), "");
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(MksetupInterrupt, TerminationRemovesAStagedFile) {
    TempDir dir;
    dir.Write("out", "before");
    EXPECT_EXIT(
        {
            RemoveTemporaryFileOnInterrupt();
            ToolStagedFile staged(dir.Path("out"));
            std::fputs("partial", staged->Get());
            std::fflush(staged->Get());
            std::raise(SIGTERM);
        },
        ::testing::KilledBySignal(SIGTERM), "");
    EXPECT_EQ(dir.Read("out"), "before");
    EXPECT_FALSE(HasTemporaryFiles(dir.Path()));
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 1u);
}
#endif

// A file that another program works on by name (a signing command) before it
// takes its place: closed under its temporary name, then committed.
TEST(MksetupFiles, AStagedFileClosedForAnotherWriterIsCommittedByName) {
    TempDir dir;
    dir.Write("setup.exe", "old");
    {
        ToolStagedFile staged(dir.Path("setup.exe"), ".exe");
        ASSERT_NE(staged->Get(), nullptr);
        const std::string temporary = staged->TemporaryPath();
        const std::string name = std::filesystem::path(temporary).filename().string();
        EXPECT_EQ(name.rfind("setup.exe.mksetup-tmp", 0), 0u) << name;
        EXPECT_EQ(name.substr(name.size() - 4), ".exe") << name;
        std::fputs("new", staged->Get());
        ASSERT_TRUE(staged->Close());
        EXPECT_EQ(dir.Read("setup.exe"), "old");
        std::ofstream(temporary, std::ios::app) << " and signed";
        ASSERT_TRUE(staged->Commit());
    }
    EXPECT_EQ(dir.Read("setup.exe"), "new and signed");
    {
        // Dropped without Commit: nothing under either name changes or stays.
        ToolStagedFile staged(dir.Path("setup.exe"));
        std::fputs("lost", staged->Get());
        ASSERT_TRUE(staged->Close());
    }
    EXPECT_EQ(dir.Read("setup.exe"), "new and signed");
    EXPECT_FALSE(HasTemporaryFiles(dir.Path()));
#if !defined(_WIN32)
    // What mksetup writes can be read by everyone the umask lets, as any new
    // file: the temporary file's own mode (its owner's alone) does not stay.
    const mode_t saved = umask(022);
    ASSERT_TRUE(WriteFileAtomically(dir.Path("setup.drc"), reinterpret_cast<const uint8_t*>("x"), 1));
    umask(saved);
    EXPECT_EQ(std::filesystem::status(dir.Path("setup.drc")).permissions(),
              std::filesystem::perms(0644));
#endif
}

TEST_F(MksetupTest, UsageMistakesAndHelp) {
    EXPECT_EQ(Mksetup({}).status, kExitUsage);
    EXPECT_EQ(Mksetup({"pack"}).status, kExitUsage);
    EXPECT_EQ(Mksetup({"build", "a", "b"}).status, kExitUsage);
    EXPECT_EQ(Mksetup({"build", "a", "b", "c", "--setup-exe"}).status, kExitUsage);
    EXPECT_EQ(Mksetup({"build", "a", "b", "c", "--fast"}).status, kExitUsage);
    EXPECT_EQ(Mksetup({"build", "a", "b", "c", "--codec", "zip"}).status, kExitUsage);
    EXPECT_EQ(Mksetup({"compress", "a", "b", "--codec"}).status, kExitUsage);
    EXPECT_EQ(Mksetup({"expand", "a"}).status, kExitUsage);
    const Outcome help = Mksetup({"--help"});
    EXPECT_EQ(help.status, kExitOk);
    EXPECT_NE(help.out.find("build LIST SOURCE_DIR OUT_DIR [--setup-exe PATH]"), std::string::npos);
}

TEST_F(MksetupTest, SignRunsTheCommandOnSetupExeAndChecksWhatItLeaves) {
    // What the signing command leaves: setup.exe as mksetup writes it (the
    // same inputs give the same bytes), signed; and a signed file whose
    // overlay the signing lost.
    ASSERT_EQ(Mksetup({"build", m_dir.Path("setup.lst"), m_dir.Path("src"), m_dir.Path("unsigned"), "--setup-exe",
                       m_dir.Path("bin/setup.exe")}).status,
              kExitOk);
    const std::string signedExe = pe_bytes::Signed(m_dir.Read("unsigned/setup.exe"));
    m_dir.Write("signed.exe", signedExe);
    m_dir.Write("lost.exe", pe_bytes::Signed(pe_bytes::Image()));
    // A folder name that needs quoting in either shell.
    const std::string dist = m_dir.Path("it's signed");
    auto build = [&](const std::string& command) {
        return Mksetup({"build", m_dir.Path("setup.lst"), m_dir.Path("src"), dist, "--setup-exe",
                        m_dir.Path("bin/setup.exe"), "--sign", command});
    };
    auto copying = [&](const std::string& name) {
#if defined(_WIN32)
        return "copy /y \"" + m_dir.Path(name) + "\" {} >nul";
#else
        return "cp '" + m_dir.Path(name) + "' {}";
#endif
    };
    const std::string sign = copying("signed.exe");
    const std::string setupExe = dist + (dist.find('\\') != std::string::npos ? "\\" : "/") + "setup.exe";
    Outcome r = build(sign);
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(m_dir.Read("it's signed/setup.exe"), signedExe);
    EXPECT_NE(r.out.find("signed " + setupExe + "\n"), std::string::npos) << r.out;
    EXPECT_TRUE(m_dir.Exists("it's signed/setup.drc"));

    // A failing command, one that leaves no PE file, one that leaves it
    // unsigned and one that loses the overlay: the build fails and leaves no
    // setup.drc.
    const std::pair<std::string, std::string> failures[] = {
        {"exit 3", "the signing command failed with exit status 3 on " + setupExe},
        {"echo broken> {}", "the signing command left no valid PE file at " + setupExe},
        {"exit 0", "the signing command ended well but left " + setupExe + " without a signature"},
        {copying("lost.exe"), "the signing command left " + setupExe + " without its overlay"}};
    for (const auto& failure : failures) {
        r = build(failure.first);
        EXPECT_EQ(r.status, kExitFailed) << failure.first;
        EXPECT_NE(r.err.find(failure.second), std::string::npos) << r.err;
        EXPECT_FALSE(m_dir.Exists("it's signed/setup.drc")) << failure.first;
    }

    // Nothing to sign without setup.exe, and no command.
    EXPECT_EQ(Mksetup({"build", m_dir.Path("setup.lst"), m_dir.Path("src"), dist, "--sign", "true"}).status, kExitUsage);
    EXPECT_EQ(Mksetup({"build", m_dir.Path("setup.lst"), m_dir.Path("src"), dist, "--sign"}).status, kExitUsage);
}

// A list and texts in UTF-8 (a byte order mark allowed) or in the code page
// --list-codepage names: the medium holds them in UTF-8, the list marked so
// on top, and names a file of the source folder exactly; what is not text in
// its encoding is refused with its line. (A source named beyond ASCII is
// found natively; mksetup.exe on Windows takes paths through the code page.)
TEST_F(MksetupTest, ListsAndTextsBeyondAsciiAreWrittenInUtf8AndMarked) {
    m_dir.Write("src/so.txt", "so");
    // ソ and 表 end in 0x5C in Shift-JIS.
    const std::string sjis = "X;?PRGFDIR?\\\x83\x5C\x95\x5C\r\nF;so.txt;?APPDIR?\\\x83\x5C\\\x95\x5C.txt\r\n";
    m_dir.Write("sjis.lst", sjis);
    m_dir.Write("Setup2.txt", "\x83\x5C\r\n");
    const std::vector<std::string> build = {"build", m_dir.Path("sjis.lst"), m_dir.Path("src"), m_dir.Path("dist")};
    Outcome r = Mksetup(build);
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.err.find(m_dir.Path("sjis.lst") + ":1: not UTF-8"), std::string::npos) << r.err;

    std::vector<std::string> withCodePage = build;
    withCodePage.insert(withCodePage.end(), {"--list-codepage", "932"});
    r = Mksetup(withCodePage);
    ASSERT_EQ(r.status, kExitOk) << r.err;
    const std::string utf8 = "X;?PRGFDIR?\\ソ表\r\nF;so.txt;?APPDIR?\\ソ\\表.txt\r\n";
    std::string drc = m_dir.Read("dist/setup.drc");
    ScrambleBuffer(reinterpret_cast<uint8_t*>(&drc[0]), drc.size());
    EXPECT_EQ(drc, "U;UTF-8\r\n" + utf8);
    EXPECT_EQ(Expanded("dist/so.txt"), "so");
    EXPECT_EQ(m_dir.Read("dist/Setup2.txt"), "\xEF\xBB\xBFソ\r\n");

    // The same in UTF-8, the list with a byte order mark, gives the same medium.
    m_dir.Write("utf8.lst", "\xEF\xBB\xBF" + utf8);
    m_dir.Write("Setup2.txt", "ソ\r\n");
    r = Mksetup({"build", m_dir.Path("utf8.lst"), m_dir.Path("src"), m_dir.Path("dist2")});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(m_dir.Read("dist2/setup.drc"), m_dir.Read("dist/setup.drc"));
    EXPECT_EQ(m_dir.Read("dist2/Setup2.txt"), m_dir.Read("dist/Setup2.txt"));

    m_dir.Write("Setup2.txt", "\x83\x5C\r\n");
    m_dir.Write("sjis.lst", sjis + "F;\x83\r\n");  // a lead byte without its trail byte
    r = Mksetup(withCodePage);
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.err.find(m_dir.Path("sjis.lst") + ":3: not text in code page 932"), std::string::npos) << r.err;
    EXPECT_EQ(Mksetup({"build", m_dir.Path("utf8.lst"), m_dir.Path("src"), m_dir.Path("d"), "--list-codepage", "437"})
                  .status,
              kExitUsage);

    // Source and output folders and files named beyond any one code page are
    // found and written under their names (on Windows too, whatever its ANSI
    // code page).
    const std::string folder = "Φάκελος 製品", file = "Łódź Ωμέγα.txt";
    std::filesystem::create_directories(FsPath(m_dir.Path("src") + "/" + folder));
    std::ofstream(FsPath(m_dir.Path("src") + "/" + folder + "/" + file), std::ios::binary) << "named";
    // ソ ends in 0x5C in Shift-JIS; ハ and ク differ there only in a letter's case bit.
    std::string list = "X;C:\\Named\r\nF;" + folder + "\\" + file + ";?APPDIR?\\" + file + "\r\n";
    for (const std::string kana : {"ソ", "ハ", "ク"}) {
        std::ofstream(FsPath(m_dir.Path("src") + "/" + kana + ".txt"), std::ios::binary) << kana;
        list += "F;" + kana + ".txt;?APPDIR?\\" + kana + ".txt\r\n";
    }
    m_dir.Write("named/named.lst", list);
    const std::string out = m_dir.Path("src") + "/Ω dist";
    r = Mksetup({"build", m_dir.Path("named/named.lst"), m_dir.Path("src"), out});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_TRUE(std::filesystem::is_regular_file(FsPath(out + "/" + folder + "/" + file)));
    EXPECT_EQ(r.err.find("duplicate"), std::string::npos) << r.err;
    EXPECT_TRUE(std::filesystem::is_regular_file(FsPath(out + "/ソ.txt")));
    r = Mksetup({"verify", out});
    EXPECT_EQ(r.status, kExitOk) << r.out << r.err;

    // The product's version and publisher become lines of their own on top,
    // and a publisher beyond ASCII makes an ASCII list UTF-8.
    m_dir.Write("ascii.lst", "F;so.txt;?APPDIR?\\so.txt\r\n");
    m_dir.Write("Setup2.txt", "ソ\r\n");
    const std::vector<std::string> ascii = {"build", m_dir.Path("ascii.lst"), m_dir.Path("src"), m_dir.Path("dist3")};
    std::vector<std::string> named = ascii;
    named.insert(named.end(), {"--product-version", "2.0 beta", "--publisher", "ソ表社"});
    r = Mksetup(named);
    ASSERT_EQ(r.status, kExitOk) << r.err;
    drc = m_dir.Read("dist3/setup.drc");
    ScrambleBuffer(reinterpret_cast<uint8_t*>(&drc[0]), drc.size());
    EXPECT_EQ(drc, "U;UTF-8\r\nV;2.0 beta\r\nP;ソ表社\r\nF;so.txt;?APPDIR?\\so.txt\r\n");
    // A line end in either would add a line of the publisher's choosing.
    for (const char* option : {"--product-version", "--publisher"}) {
        std::vector<std::string> broken = ascii;
        broken.insert(broken.end(), {option, "1\r\nK;SZ;HKEY_LOCAL_MACHINE;Software;Run;x"});
        EXPECT_EQ(Mksetup(broken).status, kExitUsage) << option;
    }
    // The list's own V line would win over the option: refused, nothing built.
    m_dir.Write("ascii.lst", "F;so.txt;?APPDIR?\\so.txt\r\nv;1.0\r\n");
    r = Mksetup({"build", m_dir.Path("ascii.lst"), m_dir.Path("src"), m_dir.Path("dist4"), "--product-version", "2.0"});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.err.find(m_dir.Path("ascii.lst") + ":2: the list has its own V line"), std::string::npos) << r.err;
    EXPECT_FALSE(m_dir.Exists("dist4"));
}
