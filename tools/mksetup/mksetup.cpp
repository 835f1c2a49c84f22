#include "tools/mksetup/mksetup.h"

#include "data/file_io.h"
#include "data/medium_files.h"
#include "data/overlay.h"
#include "data/scramble.h"
#include "data/setup_sum.h"
#include "expand/lzhuf_encode.h"
#include "expand/lzhuf_file.h"
#include "expand/lzhuf_scheme.h"
#include "res/version.h"
#include "tools/mksetup/list_check.h"
#include "tools/mksetup/mksetup_files.h"
#include "tools/mksetup/sign.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iomanip>
#include <ostream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const char kUsage[] =
    "usage: mksetup COMMAND ARGUMENTS\n"
    "\n"
    "  build LIST SOURCE_DIR OUT_DIR [--setup-exe PATH] [--sign COMMAND]\n"
    "        [--single-file [--product-name NAME]]\n"
    "      Checks the plain file list LIST, compresses every F source found in\n"
    "      SOURCE_DIR into OUT_DIR under the same name, writes OUT_DIR/setup.drc\n"
    "      (the scrambled list), copies Setup2.txt and terms.txt from beside LIST\n"
    "      when they are there, and PATH (an unsigned setup.exe) as\n"
    "      OUT_DIR/setup.exe when given, carrying the SHA-256 of setup.sum.\n"
    "      OUT_DIR/setup.sum holds the size and SHA-256 of setup.drc, the texts\n"
    "      and each file as it is before compression, which setup.exe checks.\n"
    "      --single-file writes OUT_DIR/setup.exe alone instead: PATH with all of\n"
    "      these files, the product NAME and itself as the uninstaller appended.\n"
    "      --sign runs COMMAND through the shell on setup.exe in OUT_DIR (with\n"
    "      --single-file first on the uninstaller, then on the whole file), with\n"
    "      each {} replaced by its quoted path; the build fails when COMMAND\n"
    "      fails or leaves no signed PE file.\n"
    "  check LIST [SOURCE_DIR]\n"
    "      Reports errors and warnings as LIST:LINE: message; with SOURCE_DIR also\n"
    "      every F source that is not there.\n"
    "  verify DIR|FILE     Checks setup.drc, the texts and every packed file of\n"
    "      the distribution folder DIR against DIR/setup.sum, and setup.sum\n"
    "      against the digest its setup.exe carries; or all that in the\n"
    "      single-file setup.exe FILE.\n"
    "  unpack FILE OUT_DIR Writes the files stored in the single-file setup.exe\n"
    "      FILE into OUT_DIR, the uninstaller as uninstall.exe.\n"
    "  compress IN OUT     Compresses the file IN into OUT.\n"
    "  expand IN OUT       Expands the compressed file IN into OUT.\n"
    "  show FILE           Writes the plain list of a setup.drc to standard output.\n"
    "  --help              Shows this text.\n"
    "  --version           Shows the version.\n"
    "\n"
    "Exit status: 0 done, 1 errors found or a command failed, 2 wrong usage.\n";

const char* const kBesideList[] = {kWelcomeTextName, kTermsFileName};

int Usage(std::ostream& err, const std::string& problem) {
    err << "mksetup: " << problem << "\n\n" << kUsage;
    return kExitUsage;
}

std::string Percent(uint64_t part, uint64_t whole) {
    std::ostringstream s;
    s << std::fixed << std::setprecision(1) << (whole ? 100.0 * double(part) / double(whole) : 100.0) << "%";
    return s.str();
}

// Prints the issues of a list; true when none of them is an error.
bool ReportIssues(const std::string& listName, const std::vector<ListIssue>& issues, std::ostream& out) {
    bool clean = true;
    for (const ListIssue& issue : issues) {
        out << listName << ":" << issue.line << ": " << (issue.error ? "error: " : "warning: ") << issue.message
            << "\n";
        clean &= !issue.error;
    }
    return clean;
}

// A source name of the list as a path below the output folder; empty when it
// would lead outside it.
std::string RelativeOutputPath(const std::string& source) {
    fs::path relative;
    for (const std::string& part : SourcePathParts(source))
        relative /= part;
    return relative.string();
}

// True when |path| is a folder; otherwise says why not.
bool IsFolder(const std::string& path, std::ostream& err) {
    std::error_code ec;
    if (fs::is_directory(path, ec))
        return true;
    err << "mksetup: " << path << (ec ? ": " + ec.message() : std::string(" is not a folder")) << "\n";
    return false;
}

// True, with a message, when a folder stands where a file is to be written:
// mksetup never replaces a folder.
bool FolderInTheWay(const std::string& path, std::ostream& err) {
    std::error_code ec;
    if (!fs::is_directory(path, ec))
        return false;
    err << "mksetup: " << path << " is a folder; it is not replaced by a file\n";
    return true;
}

class Progress {
public:
    Progress(std::ostream& err, bool terminal, size_t total) : m_err(err), m_terminal(terminal), m_total(total) {}
    ~Progress() { Clear(); }
    void Show(size_t done, const std::string& name) {
        if (!m_terminal)
            return;
        std::string line = "[" + std::to_string(done) + "/" + std::to_string(m_total) + "] " + name;
        if (line.size() > 70)
            line = line.substr(0, 67) + "...";
        m_err << "\r" << line << std::string(m_width > line.size() ? m_width - line.size() : 0, ' ') << std::flush;
        m_width = line.size();
    }
    void Clear() {
        if (m_terminal && m_width > 0)
            m_err << "\r" << std::string(m_width, ' ') << "\r" << std::flush;
        m_width = 0;
    }

private:
    std::ostream& m_err;
    const bool m_terminal;
    const size_t m_total;
    size_t m_width = 0;
};

int Check(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() < 2 || args.size() > 3)
        return Usage(err, "check takes LIST and optionally SOURCE_DIR");
    std::vector<uint8_t> list;
    if (!ReadWholeFile(args[1], list)) {
        err << "mksetup: cannot read " << args[1] << "\n";
        return kExitFailed;
    }
    SourceFinder finder;
    if (args.size() == 3) {
        if (!IsFolder(args[2], err))
            return kExitFailed;
        finder = [&](const std::string& source) { return !FindFileIn(args[2], source).empty(); };
    }
    const std::vector<ListIssue> issues = CheckList(list.data(), list.size(), finder);
    const bool clean = ReportIssues(args[1], issues, out);
    return clean ? kExitOk : kExitFailed;
}

// What a build was asked to do.
struct BuildPlan {
    std::string listName, sourceDir;
    fs::path outDir;
    std::string setupExe, signCommand, productName;
    bool singleFile = false;
};

// Where the packed files go: into the distribution folder, or into the
// single file's overlay. Reports its own failures.
using PackedSink = std::function<bool(const std::string& name, const std::vector<uint8_t>& bytes)>;

// Compresses every source into |sink| and lists its expanded size and digest
// in |sum|. A file that the list names again in another spelling is listed
// once; a folder gets it under each spelling, a single file once.
bool PackSources(const BuildPlan& plan, const std::vector<std::string>& sources, const PackedSink& sink, SetupSum& sum,
                 uint64_t& bytesIn, uint64_t& bytesOut, std::ostream& err, bool terminal) {
    Progress progress(err, terminal, sources.size());
    for (size_t i = 0; i < sources.size(); ++i) {
        progress.Show(i + 1, sources[i]);
        if (plan.singleFile && sum.Find(sources[i]))
            continue;
        std::vector<uint8_t> data, packed;
        const std::string from = FindFileIn(plan.sourceDir, sources[i]);
        SumEntry entry{sources[i], 0, {}};
        std::string problem;
        if (!ReadWholeFile(from, data))
            problem = "cannot read " + from;
        else if (!EncodeLzhuf(data.data(), data.size(), packed))
            problem = from + " is too large (2 GB at most)";
        else if (!HashBytes(data.data(), data.size(), entry.sha256))
            problem = "cannot compute the SHA-256 of " + from;
        if (!problem.empty()) {
            progress.Clear();
            err << "mksetup: " << problem << "\n";
            return false;
        }
        progress.Clear();
        if (!sink(sources[i], packed))
            return false;
        entry.size = data.size();
        sum.Add(std::move(entry));
        bytesIn += data.size();
        bytesOut += packed.size();
    }
    return true;
}

// Adds a file that the installer reads as it is (setup.drc, the texts) to
// |sum| and |sink|.
bool AddAsIs(const std::string& name, const std::vector<uint8_t>& bytes, const PackedSink& sink, SetupSum& sum,
             std::ostream& err) {
    SumEntry entry{name, bytes.size(), {}};
    if (!HashBytes(bytes.data(), bytes.size(), entry.sha256)) {
        err << "mksetup: cannot compute the SHA-256 of " << name << "\n";
        return false;
    }
    sum.Add(std::move(entry));
    return sink(name, bytes);
}

// Adds Setup2.txt and terms.txt from beside the list, where they are.
bool AddTexts(const BuildPlan& plan, const PackedSink& sink, SetupSum& sum, std::ostream& err) {
    const fs::path listFolder = fs::path(plan.listName).parent_path();
    for (const char* name : kBesideList) {
        const fs::path beside = listFolder / name;
        std::error_code ec;
        if (!fs::exists(beside, ec))
            continue;
        std::vector<uint8_t> text;
        if (!ReadWholeFile(beside.string(), text)) {
            err << "mksetup: cannot read " << beside.string() << "\n";
            return false;
        }
        if (!AddAsIs(name, text, sink, sum, err))
            return false;
    }
    return true;
}

// Reads the setup.exe a build starts from: a PE file that ends with its
// image, since the build appends an overlay to it and signs it afterwards.
bool ReadBareSetupExe(const std::string& path, std::vector<uint8_t>& data, std::ostream& err) {
    if (!ReadWholeFile(path, data)) {
        err << "mksetup: cannot read " << path << "\n";
        return false;
    }
    PeLayout layout;
    std::string problem;
    if (!ReadPeLayout(data.data(), std::min(data.size(), kPeHeadSize), layout, &problem)) {
        err << "mksetup: " << path << " is not a setup.exe to build on: " << problem << "\n";
        return false;
    }
    if (WhatFollowsImage(layout, data.size()) != AfterImage::kNothing) {
        err << "mksetup: " << path << " does not end with its image (it is signed, carries an overlay or is "
            << "not stripped); give the unsigned setup.exe of the build\n";
        return false;
    }
    return true;
}

// Checks that the setup.exe at |path|, which this build wrote and a signing
// command may have changed since, carries a whole overlay.
bool CheckWrittenOverlay(const std::string& path, std::ostream& err) {
    std::vector<uint8_t> data;
    OverlayFile file;
    std::string problem;
    if (!ReadWholeFile(path, data))
        err << "mksetup: cannot read back " << path << "\n";
    else if (!ReadOverlayFile(data.data(), data.size(), file, &problem))
        err << "mksetup: after the signing command " << path << " is damaged: " << problem << "\n";
    else if (!file.present)
        err << "mksetup: the signing command left " << path << " without its overlay\n";
    else
        return true;
    return false;
}

std::string Summary(size_t files, uint64_t bytesIn, uint64_t bytesOut) {
    std::ostringstream s;
    s << "packed " << files << (files == 1 ? " file: " : " files: ") << bytesIn << " bytes in, " << bytesOut
      << " bytes out (" << Percent(bytesOut, bytesIn) << ")";
    return s.str();
}

// The distribution folder: the packed files, the texts, setup.exe carrying
// the digest of setup.sum (then signed), setup.sum, and setup.drc last.
int BuildFolder(const BuildPlan& plan, const std::vector<uint8_t>& list, const std::vector<std::string>& sources,
                std::ostream& out, std::ostream& err, bool terminal) {
    const fs::path drc = plan.outDir / kFileListName;
    const fs::path sumFile = plan.outDir / kSumFileName;
    if (FolderInTheWay(drc.string(), err) || FolderInTheWay(sumFile.string(), err))
        return kExitFailed;
    std::vector<uint8_t> bare;
    if (!plan.setupExe.empty() && !ReadBareSetupExe(plan.setupExe, bare, err))
        return kExitFailed;
    // Without a list the folder cannot pass for a finished distribution
    // until this build has written everything; nor can an older sum.
    std::error_code ec;
    fs::remove(drc, ec);
    fs::remove(sumFile, ec);

    const PackedSink toFolder = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
        const fs::path to = plan.outDir / RelativeOutputPath(name);
        std::error_code created;
        fs::create_directories(to.parent_path(), created);
        if (WriteFileAtomically(to.string(), bytes.data(), bytes.size()))
            return true;
        err << "mksetup: cannot write " << to.string() << "\n";
        return false;
    };
    SetupSum sum;
    uint64_t bytesIn = 0, bytesOut = 0;
    if (!PackSources(plan, sources, toFolder, sum, bytesIn, bytesOut, err, terminal) ||
        !AddTexts(plan, toFolder, sum, err))
        return kExitFailed;
    std::vector<uint8_t> scrambled = list;
    ScrambleBuffer(scrambled.data(), scrambled.size());
    const PackedSink later = [](const std::string&, const std::vector<uint8_t>&) { return true; };
    if (!AddAsIs(kFileListName, scrambled, later, sum, err))
        return kExitFailed;
    const std::string sumText = sum.Format();

    if (!bare.empty()) {
        const std::string setupExeOut = (plan.outDir / "setup.exe").string();
        Sha256Digest digest;
        if (!HashBytes(sumText.data(), sumText.size(), digest)) {
            err << "mksetup: cannot compute the SHA-256 of " << sumFile.string() << "\n";
            return kExitFailed;
        }
        std::vector<uint8_t> sealed = bare;
        const std::string overlay = FormatOverlay({OverlayItem{OverlayKind::kSumDigest, "", 0, 0}},
                                                  {std::string(digest.begin(), digest.end())});
        sealed.insert(sealed.end(), overlay.begin(), overlay.end());
        if (!WriteFileAtomically(setupExeOut, sealed.data(), sealed.size())) {
            err << "mksetup: cannot write " << setupExeOut << "\n";
            return kExitFailed;
        }
        // Signed before setup.drc is written: a failed signing leaves no finished folder.
        if (!plan.signCommand.empty()) {
            out.flush();
            if (!SignFiles(plan.signCommand, {setupExeOut}, err) || !CheckWrittenOverlay(setupExeOut, err))
                return kExitFailed;
            out << "signed " << setupExeOut << "\n";
        }
    }
    if (!WriteFileAtomically(sumFile.string(), reinterpret_cast<const uint8_t*>(sumText.data()), sumText.size())) {
        err << "mksetup: cannot write " << sumFile.string() << "\n";
        return kExitFailed;
    }
    if (!WriteFileAtomically(drc.string(), scrambled.data(), scrambled.size())) {
        err << "mksetup: cannot write " << drc.string() << "\n";
        return kExitFailed;
    }
    out << Summary(sources.size(), bytesIn, bytesOut) << "; wrote " << drc.string() << " and " << sumFile.string()
        << "\n";
    return kExitOk;
}

// Closes |file| and tells whether everything written to it arrived.
bool CloseWritten(FilePtr& file) {
    const bool flushed = std::fflush(file.get()) == 0 && !std::ferror(file.get());
    return std::fclose(file.release()) == 0 && flushed;
}

// The single-file medium: OUT_DIR/setup.exe alone, the bare setup.exe with
// every file of the distribution, the product name and the uninstaller in
// its overlay. With a signing command the uninstaller is signed first, then
// the whole file.
int BuildSingleFile(const BuildPlan& plan, const std::vector<uint8_t>& list, const std::vector<std::string>& sources,
                    std::ostream& out, std::ostream& err, bool terminal) {
    const std::string setupExeOut = (plan.outDir / "setup.exe").string();
    if (FolderInTheWay(setupExeOut, err))
        return kExitFailed;
    std::vector<uint8_t> bare, uninstaller;
    if (!ReadBareSetupExe(plan.setupExe, bare, err))
        return kExitFailed;
    uninstaller = bare;
    // Signing tools may choose by the name's extension: the temporary files end in .exe.
    if (!plan.signCommand.empty()) {
        const TemporaryFile copy((plan.outDir / "uninstall.mksetup-tmp.exe").string());
        FilePtr written(std::fopen(copy.Path().c_str(), "wb"));
        out.flush();
        const bool signedCopy = written && std::fwrite(bare.data(), 1, bare.size(), written.get()) == bare.size() &&
                                CloseWritten(written) && SignFiles(plan.signCommand, {copy.Path()}, err) &&
                                ReadWholeFile(copy.Path(), uninstaller);
        std::error_code ec;
        fs::remove(copy.Path(), ec);
        OverlayFile check;
        std::string problem;
        if (!signedCopy) {
            err << "mksetup: the uninstaller could not be signed\n";
            return kExitFailed;
        }
        if (!ReadOverlayFile(uninstaller.data(), uninstaller.size(), check, &problem) || check.present) {
            err << "mksetup: the signing command left the uninstaller "
                << (check.present ? "with bytes after its image" : "damaged: " + problem) << "\n";
            return kExitFailed;
        }
    }

    ToolStagedFile staged(setupExeOut, ".exe");
    const std::string& temporary = staged->TemporaryPath();
    const auto fail = [&](const std::string& problem) {
        if (!problem.empty())
            err << "mksetup: " << problem << "\n";
        return kExitFailed;
    };
    if (!staged->Get())
        return fail("cannot create a temporary file beside " + setupExeOut);
    if (std::fwrite(bare.data(), 1, bare.size(), staged->Get()) != bare.size())
        return fail("cannot write " + temporary);
    OverlayWriter writer(staged->Get());
    const PackedSink toOverlay = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
        writer.Add(OverlayKind::kFile, name, bytes.data(), bytes.size());
        return true;
    };
    SetupSum sum;
    uint64_t bytesIn = 0, bytesOut = 0;
    if (!PackSources(plan, sources, toOverlay, sum, bytesIn, bytesOut, err, terminal) ||
        !AddTexts(plan, toOverlay, sum, err))
        return fail("");
    std::vector<uint8_t> scrambled = list;
    ScrambleBuffer(scrambled.data(), scrambled.size());
    if (!AddAsIs(kFileListName, scrambled, toOverlay, sum, err))
        return fail("");
    const std::string sumText = sum.Format();
    writer.Add(OverlayKind::kFile, kSumFileName, sumText.data(), sumText.size());
    if (!plan.productName.empty())
        writer.Add(OverlayKind::kProductName, "", plan.productName.data(), plan.productName.size());
    writer.Add(OverlayKind::kUninstaller, "", uninstaller.data(), uninstaller.size());
    std::string problem;
    if (!writer.Finish(&problem))
        return fail(problem + " in " + temporary);
    const std::string written = temporary;  // Close forgets the name when it fails
    if (!staged->Close())
        return fail("cannot write " + written);
    if (!plan.signCommand.empty()) {
        out.flush();
        if (!SignFiles(plan.signCommand, {temporary}, err) || !CheckWrittenOverlay(temporary, err))
            return fail("");
    }
    std::error_code ec;
    const uintmax_t size = fs::file_size(temporary, ec);
    if (ec)
        return fail("cannot read back " + temporary);
    if (!staged->Commit())
        return fail("cannot write " + setupExeOut);
    if (!plan.signCommand.empty())
        out << "signed " << setupExeOut << " and the uninstaller it carries\n";
    out << Summary(sources.size(), bytesIn, bytesOut) << "; wrote " << setupExeOut << " (" << size
        << " bytes, the whole distribution)\n";
    return kExitOk;
}

int Build(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool terminal) {
    std::vector<std::string> positional;
    BuildPlan plan;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--setup-exe") {
            if (++i == args.size())
                return Usage(err, "--setup-exe needs a PATH");
            plan.setupExe = args[i];
        } else if (args[i] == "--sign") {
            if (++i == args.size() || args[i].empty())
                return Usage(err, "--sign needs a COMMAND");
            plan.signCommand = args[i];
        } else if (args[i] == "--single-file") {
            plan.singleFile = true;
        } else if (args[i] == "--product-name") {
            if (++i == args.size() || args[i].empty())
                return Usage(err, "--product-name needs a NAME");
            plan.productName = args[i];
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            return Usage(err, "unknown option " + args[i]);
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 3)
        return Usage(err, "build takes LIST, SOURCE_DIR and OUT_DIR");
    if (!plan.signCommand.empty() && plan.setupExe.empty())
        return Usage(err, "--sign signs setup.exe, which needs --setup-exe");
    if (plan.singleFile && plan.setupExe.empty())
        return Usage(err, "--single-file builds on setup.exe, which needs --setup-exe");
    if (!plan.productName.empty() && !plan.singleFile)
        return Usage(err, "--product-name is stored in the single file: it needs --single-file");
    plan.listName = positional[0];
    plan.sourceDir = positional[1];
    plan.outDir = positional[2];

    std::vector<uint8_t> list;
    if (!ReadWholeFile(plan.listName, list)) {
        err << "mksetup: cannot read " << plan.listName << "\n";
        return kExitFailed;
    }
    if (!IsFolder(plan.sourceDir, err))
        return kExitFailed;
    const std::vector<ListIssue> issues = CheckList(list.data(), list.size(), [&](const std::string& source) {
        return !FindFileIn(plan.sourceDir, source).empty();
    });
    if (!ReportIssues(plan.listName, issues, err)) {
        err << "mksetup: " << plan.listName << " has errors; nothing was built\n";
        return kExitFailed;
    }

    const std::vector<std::string> sources = ListSources(list.data(), list.size());
    std::error_code ec;
    if (fs::equivalent(plan.sourceDir, plan.outDir, ec)) {
        err << "mksetup: OUT_DIR " << plan.outDir.string()
            << " is SOURCE_DIR; the packed files would replace the sources\n";
        return kExitFailed;
    }
    fs::create_directories(plan.outDir, ec);
    if (ec) {
        err << "mksetup: cannot create " << plan.outDir.string() << ": " << ec.message() << "\n";
        return kExitFailed;
    }
    return plan.singleFile ? BuildSingleFile(plan, list, sources, out, err, terminal)
                           : BuildFolder(plan, list, sources, out, err, terminal);
}

// Why the bytes of the file that |entry| names are not what it says, or an
// empty text when they are. A payload is expanded as the installer checks
// it; the medium's own files are taken as they are.
std::string SumMismatch(const SumEntry& entry, const uint8_t* data, size_t size) {
    std::vector<uint8_t> expanded;
    if (!IsSummedAsStored(entry.name)) {
        LzhufDecodeResult decoded;
        if (!DecodeLzhufBuffer(data, size, expanded, &decoded, LzhufEnd::Stop))
            return "shorter than its 4-byte size";
        if (decoded.pastEnd)
            return "ends before its stated size";
        data = expanded.data();
        size = expanded.size();
    }
    Sha256Digest digest;
    if (!HashBytes(data, size, digest))
        return "cannot compute its SHA-256";
    if (size != entry.size)
        return std::to_string(size) + " bytes where setup.sum says " + std::to_string(entry.size);
    if (!entry.Matches(size, digest))
        return "its SHA-256 differs";
    return std::string();
}

// Reads and parses the setup.sum text |text| that |where| names; reports a damaged one.
bool ParseSum(const std::vector<uint8_t>& text, const std::string& where, SetupSum& sum, std::ostream& err) {
    std::string problem;
    if (sum.Parse(text.data(), text.size(), &problem))
        return true;
    err << "mksetup: " << where << ": " << problem << "\n";
    return false;
}

// Counts what verify found and prints its last line.
struct VerifyCount {
    size_t files = 0, bad = 0;

    void Line(std::ostream& out, const std::string& name, const std::string& why) {
        out << name << ": " << (why.empty() ? "ok" : "DAMAGED, " + why) << "\n";
        ++files;
        bad += !why.empty();
    }
    void Unlisted(std::ostream& out, const std::string& name) {
        out << name << ": NOT IN setup.sum\n";
        ++files;
        ++bad;
    }
    int End(std::ostream& out, const std::string& what) const {
        if (bad == 0) {
            out << what << ": " << files << " files ok\n";
            return kExitOk;
        }
        out << what << ": " << bad << " of " << files << " files damaged, missing or not listed\n";
        return kExitFailed;
    }
};

// Lists the list's payloads that |sum| does not name; the installer refuses them.
void ReportUnlisted(std::vector<uint8_t> drc, const SetupSum& sum, VerifyCount& count, std::ostream& out) {
    ScrambleBuffer(drc.data(), drc.size());
    for (const std::string& source : ListSources(drc.data(), drc.size()))
        if (!sum.Find(source))
            count.Unlisted(out, source);
}

int VerifyFolder(const fs::path& dir, std::ostream& out, std::ostream& err) {
    const std::string sumName = (dir / kSumFileName).string();
    std::vector<uint8_t> text;
    if (!ReadWholeFile(sumName, text)) {
        err << "mksetup: cannot read " << sumName << "\n";
        return kExitFailed;
    }
    SetupSum sum;
    if (!ParseSum(text, sumName, sum, err))
        return kExitFailed;
    VerifyCount count;
    for (const SumEntry& entry : sum.Entries()) {
        const std::string relative = RelativeOutputPath(entry.name);
        std::vector<uint8_t> file;
        std::string why;
        if (relative.empty())
            why = "names a place outside the folder";
        else if (!ReadWholeFile((dir / relative).string(), file))
            why = "missing or unreadable";
        else
            why = SumMismatch(entry, file.data(), file.size());
        count.Line(out, entry.name, why);
    }
    std::vector<uint8_t> drc;
    if (ReadWholeFile((dir / kFileListName).string(), drc))
        ReportUnlisted(drc, sum, count, out);

    // setup.exe, when it carries the digest of setup.sum, refuses any other.
    std::vector<uint8_t> exe;
    OverlayFile file;
    std::string problem;
    if (ReadWholeFile((dir / "setup.exe").string(), exe)) {
        const OverlayItem* item = nullptr;
        if (!ReadOverlayFile(exe.data(), exe.size(), file, &problem)) {
            count.Line(out, "setup.exe", problem);
        } else if ((item = FindOverlayItem(file.items, OverlayKind::kSumDigest)) != nullptr) {
            Sha256Digest digest;
            const uint8_t* carried = exe.data() + file.layout.imageEnd + item->offset;
            const bool same = HashBytes(text.data(), text.size(), digest) &&
                              std::equal(digest.begin(), digest.end(), carried);
            count.Line(out, "setup.exe", same ? "" : "the digest of setup.sum it carries differs: setup.sum is not "
                                                     "the one packed with it");
        } else {
            out << "setup.exe: carries no digest of setup.sum\n";
        }
    }
    return count.End(out, dir.string());
}

// Reads a single-file medium whole and checks its overlay; reports what is wrong.
bool ReadSingleFile(const std::string& path, std::vector<uint8_t>& data, OverlayFile& file, std::ostream& out,
                    std::ostream& err) {
    std::string problem;
    if (!ReadWholeFile(path, data)) {
        err << "mksetup: cannot read " << path << "\n";
        return false;
    }
    if (!ReadOverlayFile(data.data(), data.size(), file, &problem)) {
        out << path << ": DAMAGED, " << problem << "\n";
        return false;
    }
    if (!file.present || !FindOverlayItem(file.items, OverlayKind::kFile, kSumFileName)) {
        err << "mksetup: " << path << " holds no distribution (it is a bare setup.exe, or one of a folder)\n";
        return false;
    }
    return true;
}

int VerifySingleFile(const std::string& path, std::ostream& out, std::ostream& err) {
    std::vector<uint8_t> data;
    OverlayFile file;
    if (!ReadSingleFile(path, data, file, out, err))
        return kExitFailed;
    const uint8_t* overlay = data.data() + file.layout.imageEnd;
    auto bytesOf = [&](const OverlayItem& item) {
        return std::vector<uint8_t>(overlay + item.offset, overlay + item.offset + item.size);
    };
    SetupSum sum;
    if (!ParseSum(bytesOf(*FindOverlayItem(file.items, OverlayKind::kFile, kSumFileName)), path + ": setup.sum", sum,
                  err))
        return kExitFailed;
    out << path << ": the overlay is whole (" << file.items.size() << " items)\n";
    VerifyCount count;
    for (const SumEntry& entry : sum.Entries()) {
        const OverlayItem* item = FindOverlayItem(file.items, OverlayKind::kFile, entry.name);
        count.Line(out, entry.name, item ? SumMismatch(entry, overlay + item->offset, size_t(item->size)) : "missing");
    }
    for (const OverlayItem& item : file.items)
        if (item.kind == OverlayKind::kFile && !sum.Find(item.name) && !SameSumName(item.name, kSumFileName))
            count.Unlisted(out, item.name);
    if (const OverlayItem* drc = FindOverlayItem(file.items, OverlayKind::kFile, kFileListName))
        ReportUnlisted(bytesOf(*drc), sum, count, out);
    const OverlayItem* uninstaller = FindOverlayItem(file.items, OverlayKind::kUninstaller);
    OverlayFile bare;
    std::string problem = "missing";
    if (uninstaller && ReadOverlayFile(overlay + uninstaller->offset, size_t(uninstaller->size), bare, &problem))
        problem = bare.present ? "carries an overlay of its own" : "";
    count.Line(out, "uninstall.exe", problem);
    if (const OverlayItem* name = FindOverlayItem(file.items, OverlayKind::kProductName))
        out << "product name: " << std::string(overlay + name->offset, overlay + name->offset + name->size) << "\n";
    return count.End(out, path);
}

int Verify(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 2)
        return Usage(err, "verify takes DIR or FILE");
    std::error_code ec;
    if (fs::is_regular_file(args[1], ec))
        return VerifySingleFile(args[1], out, err);
    if (!IsFolder(args[1], err))
        return kExitFailed;
    return VerifyFolder(args[1], out, err);
}

// Writes the files of a single-file medium into a folder: every stored file
// under its name, and the uninstaller as uninstall.exe; nothing from a
// damaged one.
int Unpack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 3)
        return Usage(err, "unpack takes FILE and OUT_DIR");
    std::vector<uint8_t> data;
    OverlayFile file;
    if (!ReadSingleFile(args[1], data, file, err, err))
        return kExitFailed;
    const fs::path outDir = args[2];
    std::error_code ec;
    fs::create_directories(outDir, ec);
    if (ec) {
        err << "mksetup: cannot create " << outDir.string() << ": " << ec.message() << "\n";
        return kExitFailed;
    }
    size_t written = 0;
    for (const OverlayItem& item : file.items) {
        std::string name = "uninstall.exe";
        if (item.kind == OverlayKind::kFile)
            name = RelativeOutputPath(item.name);
        else if (item.kind != OverlayKind::kUninstaller)
            continue;
        if (name.empty()) {
            err << "mksetup: " << item.name << " names a place outside the folder; not written\n";
            return kExitFailed;
        }
        const fs::path to = outDir / name;
        fs::create_directories(to.parent_path(), ec);
        const uint8_t* bytes = data.data() + file.layout.imageEnd + item.offset;
        if (FolderInTheWay(to.string(), err))
            return kExitFailed;
        if (!WriteFileAtomically(to.string(), bytes, size_t(item.size))) {
            err << "mksetup: cannot write " << to.string() << "\n";
            return kExitFailed;
        }
        ++written;
    }
    out << "wrote " << written << " files into " << outDir.string() << "\n";
    return kExitOk;
}

int Compress(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 3)
        return Usage(err, "compress takes IN and OUT");
    if (FolderInTheWay(args[2], err))
        return kExitFailed;
    std::vector<uint8_t> data, packed;
    if (!ReadWholeFile(args[1], data)) {
        err << "mksetup: cannot read " << args[1] << "\n";
        return kExitFailed;
    }
    if (!EncodeLzhuf(data.data(), data.size(), packed)) {
        err << "mksetup: " << args[1] << " is too large (2 GB at most)\n";
        return kExitFailed;
    }
    if (!WriteFileAtomically(args[2], packed.data(), packed.size())) {
        err << "mksetup: cannot write " << args[2] << "\n";
        return kExitFailed;
    }
    out << args[1] << ": " << data.size() << " -> " << packed.size() << " bytes (" << Percent(packed.size(), data.size())
        << ")\n";
    return kExitOk;
}

// The size that the header of the compressed file |path| states; false when
// it has no header.
bool ReadStatedSize(const std::string& path, int32_t& size) {
    FilePtr in(std::fopen(path.c_str(), "rb"));
    uint8_t header[kHeaderSize];
    if (!in || std::fread(header, 1, kHeaderSize, in.get()) != kHeaderSize)
        return false;
    size = ReadLzhufHeader(header);
    return true;
}

int Expand(const std::vector<std::string>& args, std::ostream& err) {
    if (args.size() != 3)
        return Usage(err, "expand takes IN and OUT");
    if (FolderInTheWay(args[2], err))
        return kExitFailed;
    // Expanded under a temporary name first: a damaged file found only at
    // its end leaves OUT as it was.
    ToolStagedFile staged(args[2]);
    const std::string temporary = staged->TemporaryPath();
    if (!staged->Close()) {
        err << "mksetup: cannot create " << args[2] << "\n";
        return kExitFailed;
    }
    const ExpandResult r = ExpandLzhufFile(args[1].c_str(), temporary.c_str(), LzhufEnd::Stop);
    std::string problem;
    int32_t stated = 0;
    switch (r.status) {
    case ExpandStatus::kOk:
        // The installer expands a negative size to nothing; no encoder writes one.
        if (ReadStatedSize(args[1], stated) && stated < 0)
            problem = args[1] + " states a negative size (" + std::to_string(stated) + "): damaged";
        else if (r.decode.pastEnd)
            problem = args[1] + " ends before its stated size: truncated or damaged";
        break;
    case ExpandStatus::kSourceOpenFailed:
        problem = "cannot open " + args[1];
        break;
    case ExpandStatus::kDestCreateFailed:
        problem = "cannot create " + args[2];
        break;
    case ExpandStatus::kReadFailed:
        problem = "cannot read " + args[1] + " (shorter than the 4-byte size, or a read error)";
        break;
    case ExpandStatus::kDestAccessFailed:
        problem = "cannot write " + args[2];
        break;
    case ExpandStatus::kDamaged:  // only with a sum to check, which is not given here
        problem = args[1] + " is damaged";
        break;
    }
    if (!problem.empty()) {
        err << "mksetup: " << problem << "\n";
        return kExitFailed;
    }
    if (!staged->Commit()) {
        err << "mksetup: cannot write " << args[2] << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

int Show(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 2)
        return Usage(err, "show takes FILE");
    std::vector<uint8_t> data;
    if (!ReadWholeFile(args[1], data)) {
        err << "mksetup: cannot read " << args[1] << "\n";
        return kExitFailed;
    }
    ScrambleBuffer(data.data(), data.size());
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    out.flush();
    if (!out) {
        err << "mksetup: cannot write standard output\n";
        return kExitFailed;
    }
    return kExitOk;
}

int RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool terminal) {
    if (args.empty())
        return Usage(err, "no command given");
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        out << kUsage;
        return kExitOk;
    }
    if (command == "--version") {
        out << "mksetup " SETUP_VERSION_TEXT "\n";
        return kExitOk;
    }
    if (command == "build")
        return Build(args, out, err, terminal);
    if (command == "check")
        return Check(args, out, err);
    if (command == "compress")
        return Compress(args, out, err);
    if (command == "expand")
        return Expand(args, err);
    if (command == "show")
        return Show(args, out, err);
    if (command == "verify")
        return Verify(args, out, err);
    if (command == "unpack")
        return Unpack(args, out, err);
    return Usage(err, "unknown command " + command);
}

}  // namespace

int RunMksetup(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool terminal) {
    // Every file-system error is a message, whichever call meets it.
    try {
        return RunCommand(args, out, err, terminal);
    } catch (const fs::filesystem_error& e) {
        err << "mksetup: " << (e.path1().empty() ? std::string() : e.path1().string() + ": ") << e.code().message()
            << "\n";
    } catch (const std::exception& e) {
        err << "mksetup: " << e.what() << "\n";
    }
    return kExitFailed;
}
