// The packaging tool's commands, run in-process on temporary folders.
#include "tools/mksetup/mksetup.h"

#include "data/scramble.h"
#include "tests/temp_dir.h"
#include "tools/mksetup/mksetup_files.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
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

// The headers of a PE32 image, with a certificate table (a signature) at its
// end when |signature| is set.
std::string FakePe(bool signature) {
    std::string pe(0x40 + 4 + 20 + 224, '\0');
    auto put = [&](size_t at, uint32_t value, size_t bytes) {
        for (size_t i = 0; i < bytes; ++i)
            pe[at + i] = char(value >> (8 * i));
    };
    pe[0] = 'M', pe[1] = 'Z';
    put(0x3C, 0x40, 4);
    pe.replace(0x40, 4, std::string("PE\0\0", 4));
    put(0x44, 0x14C, 2);        // i386
    put(0x44 + 16, 224, 2);     // size of the optional header
    const size_t optional = 0x44 + 20;
    put(optional, 0x10B, 2);    // PE32
    put(optional + 92, 16, 4);  // data directories
    if (signature) {
        put(optional + 96 + 4 * 8, uint32_t(pe.size()), 4);
        put(optional + 96 + 4 * 8 + 4, 16, 4);
        pe += std::string(16, 'S');
    }
    return pe;
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
        m_dir.Write("bin/setup.exe", "MZ fake installer");
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
    EXPECT_EQ(m_dir.Read("dist/setup.exe"), "MZ fake installer");
    EXPECT_FALSE(HasTemporaryFiles(m_dir.Path("dist")));
}

TEST_F(MksetupTest, VerifyChecksTheBuiltDistributionAgainstItsSum) {
    ASSERT_EQ(Mksetup({"build", m_dir.Path("setup.lst"), m_dir.Path("src"), m_dir.Path("dist")}).status, kExitOk);
    Outcome r = Mksetup({"verify", m_dir.Path("dist")});
    EXPECT_EQ(r.status, kExitOk) << r.out << r.err;
    EXPECT_NE(r.out.find("docs\\manual.txt: ok\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(": 5 files ok\n"), std::string::npos) << r.out;  // four payloads and setup.drc

    // One byte changed, one payload cut short, one gone, one list line added
    // whose payload setup.sum does not know.
    std::string packed = m_dir.Read("dist/TOOL.DLL");
    packed[packed.size() / 2] ^= 1;
    m_dir.Write("dist/TOOL.DLL", packed);
    const std::string manual = m_dir.Read("dist/docs/manual.txt");
    m_dir.Write("dist/docs/manual.txt", manual.substr(0, manual.size() - 40));
    std::filesystem::remove(m_dir.Path("dist/empty.dat"));
    std::string drc = m_list + "F;extra.txt;?APPDIR?\\extra.txt\r\n";
    ScrambleBuffer(reinterpret_cast<uint8_t*>(&drc[0]), drc.size());
    m_dir.Write("dist/setup.drc", drc);
    r = Mksetup({"verify", m_dir.Path("dist")});
    EXPECT_EQ(r.status, kExitFailed);
    for (const char* line : {"readme.txt: ok\n", "TOOL.DLL: DAMAGED, ", "docs\\manual.txt: DAMAGED, ends before its stated size\n",
                             "empty.dat: DAMAGED, missing or unreadable\n", "setup.drc: DAMAGED, ",
                             "extra.txt: NOT IN setup.sum\n", ": 5 of 6 files damaged, missing or not listed\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;

    m_dir.Write("dist/setup.sum", "setup.sum 1\r\nnonsense\r\n");
    r = Mksetup({"verify", m_dir.Path("dist")});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.err.find("setup.sum: line 2: too short"), std::string::npos) << r.err;
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
#endif

TEST_F(MksetupTest, UsageMistakesAndHelp) {
    EXPECT_EQ(Mksetup({}).status, kExitUsage);
    EXPECT_EQ(Mksetup({"pack"}).status, kExitUsage);
    EXPECT_EQ(Mksetup({"build", "a", "b"}).status, kExitUsage);
    EXPECT_EQ(Mksetup({"build", "a", "b", "c", "--setup-exe"}).status, kExitUsage);
    EXPECT_EQ(Mksetup({"build", "a", "b", "c", "--fast"}).status, kExitUsage);
    EXPECT_EQ(Mksetup({"expand", "a"}).status, kExitUsage);
    const Outcome help = Mksetup({"--help"});
    EXPECT_EQ(help.status, kExitOk);
    EXPECT_NE(help.out.find("build LIST SOURCE_DIR OUT_DIR [--setup-exe PATH]"), std::string::npos);
}

TEST_F(MksetupTest, SignRunsTheCommandOnSetupExeAndChecksWhatItLeaves) {
    m_dir.Write("bin/setup.exe", FakePe(false));
    m_dir.Write("signed.exe", FakePe(true));
    // A folder name that needs quoting in either shell.
    const std::string dist = m_dir.Path("it's signed");
    auto build = [&](const std::string& command) {
        return Mksetup({"build", m_dir.Path("setup.lst"), m_dir.Path("src"), dist, "--setup-exe",
                        m_dir.Path("bin/setup.exe"), "--sign", command});
    };
#if defined(_WIN32)
    const std::string sign = "copy /y \"" + m_dir.Path("signed.exe") + "\" {} >nul";
#else
    const std::string sign = "cp '" + m_dir.Path("signed.exe") + "' {}";
#endif
    const std::string setupExe = dist + (dist.find('\\') != std::string::npos ? "\\" : "/") + "setup.exe";
    Outcome r = build(sign);
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(m_dir.Read("it's signed/setup.exe"), FakePe(true));
    EXPECT_NE(r.out.find("signed " + setupExe + "\n"), std::string::npos) << r.out;
    EXPECT_TRUE(m_dir.Exists("it's signed/setup.drc"));

    // A failing command, one that leaves no PE file and one that leaves it
    // unsigned: the build fails and leaves no setup.drc.
    const std::pair<std::string, std::string> failures[] = {
        {"exit 3", "the signing command failed with exit status 3 on " + setupExe},
        {"echo broken> {}", "the signing command left no valid PE file at " + setupExe},
        {"exit 0", "the signing command ended well but left " + setupExe + " without a signature"}};
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
