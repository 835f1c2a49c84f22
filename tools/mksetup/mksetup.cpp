#include "tools/mksetup/mksetup.h"

#include "data/file_io.h"
#include "data/medium_files.h"
#include "data/scramble.h"
#include "data/setup_sum.h"
#include "expand/lzhuf_encode.h"
#include "expand/lzhuf_file.h"
#include "expand/lzhuf_scheme.h"
#include "res/version.h"
#include "tools/mksetup/list_check.h"
#include "tools/mksetup/mksetup_files.h"
#include "tools/mksetup/sign.h"

#include <cstdio>
#include <filesystem>
#include <iomanip>
#include <ostream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const char kUsage[] =
    "usage: mksetup COMMAND ARGUMENTS\n"
    "\n"
    "  build LIST SOURCE_DIR OUT_DIR [--setup-exe PATH] [--sign COMMAND]\n"
    "      Checks the plain file list LIST, compresses every F source found in\n"
    "      SOURCE_DIR into OUT_DIR under the same name, writes OUT_DIR/setup.drc\n"
    "      (the scrambled list), copies Setup2.txt and terms.txt from beside LIST\n"
    "      when they are there, and PATH as OUT_DIR/setup.exe when given.\n"
    "      --sign runs COMMAND through the shell on setup.exe in OUT_DIR, with\n"
    "      each {} replaced by its quoted path; the build fails when COMMAND\n"
    "      fails or leaves no signed PE file.\n"
    "      OUT_DIR/setup.sum holds the size and SHA-256 of setup.drc and of each\n"
    "      file as it is before compression, which setup.exe checks.\n"
    "  check LIST [SOURCE_DIR]\n"
    "      Reports errors and warnings as LIST:LINE: message; with SOURCE_DIR also\n"
    "      every F source that is not there.\n"
    "  verify DIR          Checks setup.drc and every packed file of the\n"
    "      distribution folder DIR against DIR/setup.sum.\n"
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

bool CopyFile(const std::string& from, const std::string& to, std::ostream& err) {
    std::vector<uint8_t> data;
    if (!ReadWholeFile(from, data)) {
        err << "mksetup: cannot read " << from << "\n";
        return false;
    }
    if (!WriteFileAtomically(to, data.data(), data.size())) {
        err << "mksetup: cannot write " << to << "\n";
        return false;
    }
    return true;
}

int Build(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool terminal) {
    std::vector<std::string> positional;
    std::string setupExe, signCommand;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--setup-exe") {
            if (++i == args.size())
                return Usage(err, "--setup-exe needs a PATH");
            setupExe = args[i];
        } else if (args[i] == "--sign") {
            if (++i == args.size() || args[i].empty())
                return Usage(err, "--sign needs a COMMAND");
            signCommand = args[i];
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            return Usage(err, "unknown option " + args[i]);
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 3)
        return Usage(err, "build takes LIST, SOURCE_DIR and OUT_DIR");
    if (!signCommand.empty() && setupExe.empty())
        return Usage(err, "--sign signs setup.exe, which needs --setup-exe");
    const std::string& listName = positional[0];
    const std::string& sourceDir = positional[1];
    const fs::path outDir = positional[2];

    std::vector<uint8_t> list;
    if (!ReadWholeFile(listName, list)) {
        err << "mksetup: cannot read " << listName << "\n";
        return kExitFailed;
    }
    if (!IsFolder(sourceDir, err))
        return kExitFailed;
    const std::vector<ListIssue> issues = CheckList(list.data(), list.size(), [&](const std::string& source) {
        return !FindFileIn(sourceDir, source).empty();
    });
    if (!ReportIssues(listName, issues, err)) {
        err << "mksetup: " << listName << " has errors; nothing was built\n";
        return kExitFailed;
    }

    const std::vector<std::string> sources = ListSources(list.data(), list.size());
    std::error_code ec;
    if (fs::equivalent(sourceDir, outDir, ec)) {
        err << "mksetup: OUT_DIR " << outDir.string() << " is SOURCE_DIR; the packed files would replace the sources\n";
        return kExitFailed;
    }
    fs::create_directories(outDir, ec);
    if (ec) {
        err << "mksetup: cannot create " << outDir.string() << ": " << ec.message() << "\n";
        return kExitFailed;
    }
    const fs::path drc = outDir / kFileListName;
    const fs::path sumFile = outDir / kSumFileName;
    if (FolderInTheWay(drc.string(), err) || FolderInTheWay(sumFile.string(), err))
        return kExitFailed;
    // Without a list the folder cannot pass for a finished distribution
    // until this build has written everything; nor can an older sum.
    fs::remove(drc, ec);
    fs::remove(sumFile, ec);
    SetupSum sum;

    uint64_t bytesIn = 0, bytesOut = 0;
    {
        Progress progress(err, terminal, sources.size());
        for (size_t i = 0; i < sources.size(); ++i) {
            progress.Show(i + 1, sources[i]);
            std::vector<uint8_t> data, packed;
            const std::string from = FindFileIn(sourceDir, sources[i]);
            if (!ReadWholeFile(from, data)) {
                progress.Clear();
                err << "mksetup: cannot read " << from << "\n";
                return kExitFailed;
            }
            if (!EncodeLzhuf(data.data(), data.size(), packed)) {
                progress.Clear();
                err << "mksetup: " << from << " is too large (2 GB at most)\n";
                return kExitFailed;
            }
            const fs::path to = outDir / RelativeOutputPath(sources[i]);
            fs::create_directories(to.parent_path(), ec);
            if (!WriteFileAtomically(to.string(), packed.data(), packed.size())) {
                progress.Clear();
                err << "mksetup: cannot write " << to.string() << "\n";
                return kExitFailed;
            }
            SumEntry entry{sources[i], data.size(), {}};
            if (!HashBytes(data.data(), data.size(), entry.sha256)) {
                progress.Clear();
                err << "mksetup: cannot compute the SHA-256 of " << from << "\n";
                return kExitFailed;
            }
            sum.Add(std::move(entry));  // a source named twice is packed twice, listed once
            bytesIn += data.size();
            bytesOut += packed.size();
        }
    }
    const fs::path listFolder = fs::path(listName).parent_path();
    for (const char* name : kBesideList) {
        const fs::path beside = listFolder / name;
        if (fs::exists(beside, ec) && !CopyFile(beside.string(), (outDir / name).string(), err))
            return kExitFailed;
    }
    const std::string setupExeOut = (outDir / "setup.exe").string();
    if (!setupExe.empty() && !CopyFile(setupExe, setupExeOut, err))
        return kExitFailed;
    // Signed before setup.drc is written: a failed signing leaves no finished folder.
    if (!signCommand.empty()) {
        out.flush();
        if (!SignFiles(signCommand, {setupExeOut}, err))
            return kExitFailed;
        out << "signed " << setupExeOut << "\n";
    }

    std::vector<uint8_t> scrambled = list;
    ScrambleBuffer(scrambled.data(), scrambled.size());
    SumEntry listEntry{kFileListName, scrambled.size(), {}};
    if (!HashBytes(scrambled.data(), scrambled.size(), listEntry.sha256)) {
        err << "mksetup: cannot compute the SHA-256 of " << drc.string() << "\n";
        return kExitFailed;
    }
    sum.Add(std::move(listEntry));
    const std::string sumText = sum.Format();
    if (!WriteFileAtomically(sumFile.string(), reinterpret_cast<const uint8_t*>(sumText.data()), sumText.size())) {
        err << "mksetup: cannot write " << sumFile.string() << "\n";
        return kExitFailed;
    }
    if (!WriteFileAtomically(drc.string(), scrambled.data(), scrambled.size())) {
        err << "mksetup: cannot write " << drc.string() << "\n";
        return kExitFailed;
    }
    out << "packed " << sources.size() << (sources.size() == 1 ? " file: " : " files: ") << bytesIn
        << " bytes in, " << bytesOut << " bytes out (" << Percent(bytesOut, bytesIn) << "); wrote "
        << drc.string() << " and " << sumFile.string() << "\n";
    return kExitOk;
}

// Why the file |path| is not what |entry| says, or an empty text when it is.
// A payload is expanded as the installer checks it; setup.drc is taken as it is.
std::string SumMismatch(const SumEntry& entry, const std::string& path) {
    std::vector<uint8_t> file, content;
    if (!ReadWholeFile(path, file))
        return "missing or unreadable";
    if (SameSumName(entry.name, kFileListName)) {
        content.swap(file);
    } else {
        LzhufDecodeResult decoded;
        if (!DecodeLzhufBuffer(file.data(), file.size(), content, &decoded, LzhufEnd::Stop))
            return "shorter than its 4-byte size";
        if (decoded.pastEnd)
            return "ends before its stated size";
    }
    Sha256Digest digest;
    if (!HashBytes(content.data(), content.size(), digest))
        return "cannot compute its SHA-256";
    if (content.size() != entry.size)
        return std::to_string(content.size()) + " bytes where setup.sum says " + std::to_string(entry.size);
    if (!entry.Matches(content.size(), digest))
        return "its SHA-256 differs";
    return std::string();
}

int Verify(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 2)
        return Usage(err, "verify takes DIR");
    if (!IsFolder(args[1], err))
        return kExitFailed;
    const fs::path dir = args[1];
    const std::string sumName = (dir / kSumFileName).string();
    std::vector<uint8_t> text;
    if (!ReadWholeFile(sumName, text)) {
        err << "mksetup: cannot read " << sumName << "\n";
        return kExitFailed;
    }
    SetupSum sum;
    std::string problem;
    if (!sum.Parse(text.data(), text.size(), &problem)) {
        err << "mksetup: " << sumName << ": " << problem << "\n";
        return kExitFailed;
    }
    size_t damaged = 0;
    for (const SumEntry& entry : sum.Entries()) {
        const std::string relative = RelativeOutputPath(entry.name);
        const std::string why =
            relative.empty() ? "names a place outside the folder" : SumMismatch(entry, (dir / relative).string());
        out << entry.name << ": " << (why.empty() ? "ok" : "DAMAGED, " + why) << "\n";
        damaged += !why.empty();
    }
    // The installer refuses a payload that setup.sum does not list.
    std::vector<uint8_t> list;
    size_t unlisted = 0;
    if (ReadWholeFile((dir / kFileListName).string(), list)) {
        ScrambleBuffer(list.data(), list.size());
        for (const std::string& source : ListSources(list.data(), list.size())) {
            if (sum.Find(source))
                continue;
            out << source << ": NOT IN setup.sum\n";
            ++unlisted;
        }
    }
    const size_t bad = damaged + unlisted;
    if (bad == 0) {
        out << dir.string() << ": " << sum.Entries().size() << " files ok\n";
        return kExitOk;
    }
    out << dir.string() << ": " << bad << " of " << sum.Entries().size() + unlisted
        << " files damaged, missing or not listed\n";
    return kExitFailed;
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
    const TemporaryFile temporary(TemporaryNameFor(args[2]));
    const ExpandResult r = ExpandLzhufFile(args[1].c_str(), temporary.Path().c_str(), LzhufEnd::Stop);
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
    std::error_code ec;
    if (!problem.empty()) {
        fs::remove(temporary.Path(), ec);
        err << "mksetup: " << problem << "\n";
        return kExitFailed;
    }
    if (!ReplaceFile(temporary.Path(), args[2])) {
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
