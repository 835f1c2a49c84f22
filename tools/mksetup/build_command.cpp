// mksetup build: the distribution folder, or the single-file setup.exe.
#include "tools/mksetup/command.h"

#include "base/ascii.h"
#include "base/file_io.h"
#include "base/utf8.h"
#include "formats/file_list.h"
#include "formats/list_format.h"
#include "formats/medium_files.h"
#include "formats/overlay.h"
#include "formats/scramble.h"
#include "formats/setup_sum.h"
#include "expand/lzma_payload.h"
#include "expand/payload_codec.h"
#include "expand/solid_block.h"
#include "tools/mksetup/mksetup_files.h"
#include "tools/mksetup/sign.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <functional>
#include <future>
#include <map>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

const char* const kBesideList[] = {kWelcomeTextName, kTermsFileName};

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

// What a build was asked to do.
struct BuildPlan {
    std::string listName, sourceDir;
    fs::path outDir;
    std::string setupExe, signCommand, productName;
    std::string productVersion, publisher;  // the V and P lines the build adds (empty: none)
    bool singleFile = false;
    PayloadCodec codec = PayloadCodec::kLzhuf;
    bool codecGiven = false;
    bool solid = false;  // LZMA, the smaller payloads in solid blocks
    unsigned listCodePage = 0;  // the list and the texts are written in it; 0: UTF-8
};

// Where the packed files go: into the distribution folder, or into the
// single file's overlay. Reports its own failures.
using PackedSink = std::function<bool(const std::string& name, const std::vector<uint8_t>& bytes)>;

// The expansion of a solid block, as full as it gets: every payload of up
// to this size goes into the block being filled, which is compressed and
// written once the next one does not fit.
constexpr size_t kSolidBlockTarget = size_t(32) << 20;

// Fills solid blocks and writes each, with its entry in setup.sum. A full
// block is compressed on a thread of its own while the next one fills, two
// at a time (LZMA's encoder takes about ten times a block's size of memory).
class BlockFiller {
public:
    BlockFiller(const PackedSink& sink, SetupSum& sum) : m_sink(sink), m_sum(sum) {}

    // Whether |size| bytes go into a block rather than a payload of their own.
    static bool Takes(size_t size) { return size <= kSolidBlockTarget; }
    // Adds |data| to the block being filled (after sealing that one, when
    // |data| does not fit): the member that it becomes. False, with
    // |problem|, when a block cannot be written.
    bool Add(const std::vector<uint8_t>& data, SolidMember& member, std::string& problem) {
        if (m_bytes.size() + data.size() > kSolidBlockTarget && !Seal(problem)) return false;
        member.block = m_number;
        member.offset = m_bytes.size();
        member.size = data.size();
        member.x86 = LooksLikeX86Code(data.data(), data.size());
        m_bytes.insert(m_bytes.end(), data.begin(), data.end());
        if (member.x86) X86Filter(m_bytes.data() + member.offset, data.size(), true);
        m_members++;
        return true;
    }
    // Writes every block, the one being filled too.
    bool Flush(std::string& problem) {
        if (!Seal(problem)) return false;
        while (!m_encoding.empty())
            if (!WriteOldest(problem)) return false;
        return true;
    }
    uint64_t PackedBytes() const { return m_packedBytes; }

private:
    static constexpr size_t kEncodersAtOnce = 2;
    struct Encoded {
        SumEntry entry;
        std::vector<uint8_t> packed;
        std::string problem;
    };

    static Encoded Encode(const std::string& name, const std::vector<uint8_t>& bytes) {
        Encoded e;
        e.entry = SumEntry{name, bytes.size(), {}};
        if (!EncodeLzma(bytes.data(), bytes.size(), e.packed, kLzmaMaxDictionary, kFormSolidBlock))
            e.problem = "cannot compress " + name + " (out of memory)";
        else if (!HashBytes(bytes.data(), bytes.size(), e.entry.sha256) ||
                 !HashBytes(e.packed.data(), e.packed.size(), e.entry.packedSha256))
            e.problem = "cannot compute the SHA-256 of " + name;
        e.entry.packed = true;
        e.entry.packedSize = e.packed.size();
        return e;
    }
    // Hands the block being filled, when it has a member, to a thread of its
    // own (once the oldest is written, when enough are at work).
    bool Seal(std::string& problem) {
        if (m_members == 0) return true;
        if (m_encoding.size() >= kEncodersAtOnce && !WriteOldest(problem)) return false;
        auto encode = [name = SolidBlockName(m_number), bytes = std::move(m_bytes)] { return Encode(name, bytes); };
        try {
            m_encoding.push_back(std::async(std::launch::async, std::move(encode)));
        } catch (const std::system_error&) {  // no thread to be had: here, when it is written
            m_encoding.push_back(std::async(std::launch::deferred, std::move(encode)));
        }
        m_bytes = std::vector<uint8_t>();
        m_members = 0;
        ++m_number;
        return true;
    }
    bool WriteOldest(std::string& problem) {
        Encoded e = m_encoding.front().get();
        m_encoding.pop_front();
        if (!e.problem.empty()) {
            problem = e.problem;
            return false;
        }
        if (!m_sink(e.entry.name, e.packed)) return false;  // (the sink reports its failure)
        m_packedBytes += e.packed.size();
        m_sum.Add(std::move(e.entry));
        return true;
    }

    const PackedSink& m_sink;
    SetupSum& m_sum;
    std::vector<uint8_t> m_bytes;  // the expansion of the block being filled
    size_t m_members = 0;
    uint32_t m_number = 1;
    uint64_t m_packedBytes = 0;
    std::deque<std::future<Encoded>> m_encoding;  // blocks sealed and not yet written, oldest first
};

// Compresses every source into |sink| and lists its expanded size and digest,
// and its packed ones, in |sum|. A file that the list names again in another spelling is listed
// once; a folder gets it under each spelling, a single file once. A solid
// build puts the smaller ones into blocks (each payload then only names its
// place in a block).
bool PackSources(const BuildPlan& plan, const std::vector<std::string>& sources, const PackedSink& sink, SetupSum& sum,
                 uint64_t& bytesIn, uint64_t& bytesOut, std::ostream& err, bool terminal) {
    Progress progress(err, terminal, sources.size());
    BlockFiller blocks(sink, sum);
    std::map<std::string, std::vector<uint8_t>> memberFiles;  // by SumNameKey
    for (const std::string& source : sources)
        if (plan.solid && IsSolidBlockName(source)) {
            PrintError(err, "the list names " + source + ", a name that a solid build gives its blocks");
            return false;
        }
    for (size_t i = 0; i < sources.size(); ++i) {
        progress.Show(i + 1, sources[i]);
        if (plan.singleFile && sum.Find(sources[i]))
            continue;
        std::vector<uint8_t> data, packed;
        const std::string from = FindFileIn(plan.sourceDir, sources[i]);
        SumEntry entry{sources[i], 0, {}};
        std::string problem;
        SolidMember member;
        if (!ReadWholeFile(from, data))
            problem = "cannot read " + from;
        else if (plan.solid && BlockFiller::Takes(data.size())) {
            // (A member named again in another spelling is the same member.)
            std::vector<uint8_t>& memberFile = memberFiles[SumNameKey(sources[i])];
            if (memberFile.empty() && blocks.Add(data, member, problem)) {
                memberFile.resize(kSolidMemberSize);
                WriteSolidMember(member, memberFile.data());
            }
            packed = memberFile;
        } else if (!EncodePayload(plan.codec, data.data(), data.size(), packed))
            problem = plan.codec == PayloadCodec::kLzhuf ? from + " is too large (2 GB at most)"
                                                          : "cannot compress " + from + " (out of memory)";
        if (problem.empty() && (!HashBytes(data.data(), data.size(), entry.sha256) ||
                                !HashBytes(packed.data(), packed.size(), entry.packedSha256)))
            problem = "cannot compute the SHA-256 of " + from;
        if (!problem.empty()) {
            progress.Clear();
            PrintError(err, problem);
            return false;
        }
        progress.Clear();
        if (!sink(sources[i], packed))
            return false;
        entry.size = data.size();
        // The installer checks the packed bytes before it decodes them.
        entry.packed = true;
        entry.packedSize = packed.size();
        sum.Add(std::move(entry));
        bytesIn += data.size();
        bytesOut += packed.size();
    }
    std::string problem;
    if (!blocks.Flush(problem)) {
        if (!problem.empty()) PrintError(err, problem);
        return false;
    }
    bytesOut += blocks.PackedBytes();
    return true;
}

// Adds a file that the installer reads as it is (setup.drc, the texts) to
// |sum| and |sink|.
bool AddAsIs(const std::string& name, const std::vector<uint8_t>& bytes, const PackedSink& sink, SetupSum& sum,
             std::ostream& err) {
    SumEntry entry{name, bytes.size(), {}};
    if (!HashBytes(bytes.data(), bytes.size(), entry.sha256)) {
        PrintError(err, "cannot compute the SHA-256 of " + name);
        return false;
    }
    sum.Add(std::move(entry));
    return sink(name, bytes);
}

// Adds Setup2.txt and terms.txt from beside the list, where they are.
bool AddTexts(const BuildPlan& plan, const PackedSink& sink, SetupSum& sum, std::ostream& err) {
    const fs::path listFolder = FsPath(plan.listName).parent_path();
    for (const char* name : kBesideList) {
        const fs::path beside = listFolder / FsPath(name);
        std::error_code ec;
        if (!fs::exists(beside, ec))
            continue;
        std::vector<uint8_t> text;
        if (!ReadPlainText(Utf8Of(beside), plan.listCodePage, text, err))
            return false;
        MarkUtf8Text(text);
        if (!AddAsIs(name, text, sink, sum, err))
            return false;
    }
    return true;
}

// Reads the setup.exe a build starts from: a PE file that ends with its
// image, since the build appends an overlay to it and signs it afterwards.
bool ReadBareSetupExe(const std::string& path, std::vector<uint8_t>& data, std::ostream& err) {
    if (!ReadWholeFile(path, data)) {
        PrintError(err, "cannot read " + path);
        return false;
    }
    PeLayout layout;
    std::string problem;
    if (!ReadPeLayout(data.data(), std::min(data.size(), kPeHeadSize), layout, &problem)) {
        PrintError(err, path + " is not a setup.exe to build on: " + problem);
        return false;
    }
    if (WhatFollowsImage(layout, data.size()) != AfterImage::kNothing) {
        PrintError(err, path + " does not end with its image (it is signed, carries an overlay or is not stripped); "
                              "give the unsigned setup.exe of the build");
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
        PrintError(err, "cannot read back " + path);
    else if (!ReadOverlayFile(data.data(), data.size(), file, &problem))
        PrintError(err, "after the signing command " + path + " is damaged: " + problem);
    else if (!file.present)
        PrintError(err, "the signing command left " + path + " without its overlay");
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
    if (FolderInTheWay(Utf8Of(drc), err) || FolderInTheWay(Utf8Of(sumFile), err))
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
        const fs::path to = plan.outDir / FsPath(RelativeOutputPath(name));
        std::error_code created;
        fs::create_directories(to.parent_path(), created);
        if (WriteFileAtomically(Utf8Of(to), bytes.data(), bytes.size()))
            return true;
        PrintError(err, "cannot write " + Utf8Of(to));
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
        const std::string setupExeOut = Utf8Of(plan.outDir / "setup.exe");
        Sha256Digest digest;
        if (!HashBytes(sumText.data(), sumText.size(), digest))
            return Fail(err, "cannot compute the SHA-256 of " + Utf8Of(sumFile));
        std::vector<uint8_t> sealed = bare;
        const std::string overlay = FormatOverlay({OverlayItem{OverlayKind::kSumDigest, "", 0, 0}},
                                                  {std::string(digest.begin(), digest.end())});
        sealed.insert(sealed.end(), overlay.begin(), overlay.end());
        if (!WriteFileAtomically(setupExeOut, sealed.data(), sealed.size()))
            return Fail(err, "cannot write " + setupExeOut);
        // Signed before setup.drc is written: a failed signing leaves no finished folder.
        if (!plan.signCommand.empty()) {
            out.flush();
            if (!SignFiles(plan.signCommand, {setupExeOut}, err) || !CheckWrittenOverlay(setupExeOut, err))
                return kExitFailed;
            out << "signed " << setupExeOut << "\n";
        }
    }
    if (!WriteFileAtomically(Utf8Of(sumFile), reinterpret_cast<const uint8_t*>(sumText.data()), sumText.size()))
        return Fail(err, "cannot write " + Utf8Of(sumFile));
    if (!WriteFileAtomically(Utf8Of(drc), scrambled.data(), scrambled.size()))
        return Fail(err, "cannot write " + Utf8Of(drc));
    out << Summary(sources.size(), bytesIn, bytesOut) << "; wrote " << Utf8Of(drc) << " and " << Utf8Of(sumFile)
        << "\n";
    return kExitOk;
}

// Closes |file| and tells whether everything written to it arrived.
bool CloseWritten(FilePtr& file) {
    const bool flushed = std::fflush(file.get()) == 0 && !std::ferror(file.get());
    return std::fclose(file.release()) == 0 && flushed;
}

// Signs the uninstaller |uninstaller| (the bare setup.exe marked as an
// uninstaller) with the plan's command, on a copy in the output folder;
// false, with a message, when the command fails or leaves anything but the
// marked image signed.
bool SignUninstaller(const BuildPlan& plan, std::vector<uint8_t>& uninstaller, std::ostream& out, std::ostream& err) {
    // Signing tools may choose by the name's extension: the temporary files end in .exe.
    const TemporaryFile copy(Utf8Of(plan.outDir / "uninstall.mksetup-tmp.exe"));
    FilePtr written(OpenFile(copy.Path(), "wb"));
    out.flush();
    const bool signedCopy = written &&
                            std::fwrite(uninstaller.data(), 1, uninstaller.size(), written.get()) == uninstaller.size() &&
                            CloseWritten(written) && SignFiles(plan.signCommand, {copy.Path()}, err) &&
                            ReadWholeFile(copy.Path(), uninstaller);
    std::error_code ec;
    fs::remove(FsPath(copy.Path()), ec);
    OverlayFile check;
    std::string problem;
    if (!signedCopy)
        PrintError(err, "the uninstaller could not be signed");
    else if (!ReadOverlayFile(uninstaller.data(), uninstaller.size(), check, &problem) || !IsUninstallerOnly(check.items))
        PrintError(err, "the signing command left the uninstaller " +
                            (problem.empty() ? std::string("without its mark") : "damaged: " + problem));
    else
        return true;
    return false;
}

// The single-file medium: OUT_DIR/setup.exe alone, the bare setup.exe with
// every file of the distribution, the product name and the uninstaller in
// its overlay. With a signing command the uninstaller is signed first, then
// the whole file.
int BuildSingleFile(const BuildPlan& plan, const std::vector<uint8_t>& list, const std::vector<std::string>& sources,
                    std::ostream& out, std::ostream& err, bool terminal) {
    const std::string setupExeOut = Utf8Of(plan.outDir / "setup.exe");
    if (FolderInTheWay(setupExeOut, err))
        return kExitFailed;
    std::vector<uint8_t> bare, uninstaller;
    if (!ReadBareSetupExe(plan.setupExe, bare, err))
        return kExitFailed;
    // The uninstaller is marked as one (inside what its signature covers):
    // it removes the product and installs nothing. Unsigned, it is this
    // file's own image and the mark, which the overlay only names.
    if (!plan.signCommand.empty()) {
        const std::string mark = UninstallerMark();
        uninstaller = bare;
        uninstaller.insert(uninstaller.end(), mark.begin(), mark.end());
        if (!SignUninstaller(plan, uninstaller, out, err))
            return kExitFailed;
    }

    ToolStagedFile staged(setupExeOut, ".exe");
    const std::string& temporary = staged->TemporaryPath();
    if (!staged->Get())
        return Fail(err, "cannot create a temporary file beside " + setupExeOut);
    if (std::fwrite(bare.data(), 1, bare.size(), staged->Get()) != bare.size())
        return Fail(err, "cannot write " + temporary);
    OverlayWriter writer(staged->Get());
    const PackedSink toOverlay = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
        writer.Add(OverlayKind::kFile, name, bytes.data(), bytes.size());
        return true;
    };
    SetupSum sum;
    uint64_t bytesIn = 0, bytesOut = 0;
    if (!PackSources(plan, sources, toOverlay, sum, bytesIn, bytesOut, err, terminal) ||
        !AddTexts(plan, toOverlay, sum, err))
        return kExitFailed;
    std::vector<uint8_t> scrambled = list;
    ScrambleBuffer(scrambled.data(), scrambled.size());
    if (!AddAsIs(kFileListName, scrambled, toOverlay, sum, err))
        return kExitFailed;
    const std::string sumText = sum.Format();
    writer.Add(OverlayKind::kFile, kSumFileName, sumText.data(), sumText.size());
    if (!plan.productName.empty())
        writer.Add(OverlayKind::kProductName, "", plan.productName.data(), plan.productName.size());
    if (plan.signCommand.empty())
        writer.Add(OverlayKind::kUninstallerIsImage, "", nullptr, 0);
    else
        writer.Add(OverlayKind::kUninstaller, "", uninstaller.data(), uninstaller.size());
    std::string problem;
    if (!writer.Finish(&problem))
        return Fail(err, problem + " in " + temporary);
    const std::string written = temporary;  // Close forgets the name when it fails
    if (!staged->Close())
        return Fail(err, "cannot write " + written);
    if (!plan.signCommand.empty()) {
        out.flush();
        if (!SignFiles(plan.signCommand, {temporary}, err) || !CheckWrittenOverlay(temporary, err))
            return kExitFailed;
    }
    std::error_code ec;
    const uintmax_t size = fs::file_size(FsPath(temporary), ec);
    if (ec)
        return Fail(err, "cannot read back " + temporary);
    if (!staged->Commit())
        return Fail(err, "cannot write " + setupExeOut);
    if (!plan.signCommand.empty())
        out << "signed " << setupExeOut << " and the uninstaller it carries\n";
    out << Summary(sources.size(), bytesIn, bytesOut) << "; wrote " << setupExeOut << " (" << size
        << " bytes, the whole distribution)\n";
    return kExitOk;
}

// Reads the build's options and names from |args| into |plan|; otherwise
// says what is wrong with them (the usage text after it) and is false.
bool ReadBuildPlan(const CommandArgs& args, BuildPlan& plan, std::ostream& err) {
    const auto wrong = [&](const std::string& problem) {
        Usage(err, problem);
        return false;
    };
    // The text after the option at |i|: a name in UTF-8 on one line (the
    // installer reads it from a line of the list, or as the product's name).
    const auto text = [&](size_t& i, const char* what, std::string& into) {
        const std::string option = args[i];
        if (++i == args.size() || args[i].empty())
            return wrong(option + " needs a " + what);
        into = args[i];
        const bool control =
            std::any_of(into.begin(), into.end(), [](char c) { return uint8_t(c) < 0x20 || c == 0x7F; });
        if (!IsUtf8(into) || control)
            return wrong(option + " needs a " + what + " in UTF-8, without control characters");
        return true;
    };
    std::vector<std::string> positional;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--setup-exe") {
            if (++i == args.size())
                return wrong("--setup-exe needs a PATH");
            plan.setupExe = args[i];
        } else if (args[i] == "--sign") {
            if (++i == args.size() || args[i].empty())
                return wrong("--sign needs a COMMAND");
            plan.signCommand = args[i];
        } else if (args[i] == "--codec") {
            if (++i == args.size() || !ParseCodec(args[i], plan.codec))
                return wrong("--codec needs lzhuf, lzma or lz4");
            plan.codecGiven = true;
        } else if (args[i] == "--solid") {
            plan.solid = true;
        } else if (args[i] == "--list-codepage") {
            if (++i == args.size() || !ParseListCodePage(args[i], plan.listCodePage))
                return wrong("--list-codepage needs one of 932, 936, 949, 950 and 1250 to 1258");
        } else if (args[i] == "--single-file") {
            plan.singleFile = true;
        } else if (args[i] == "--product-name") {
            if (!text(i, "NAME", plan.productName))
                return false;
        } else if (args[i] == "--product-version") {
            if (!text(i, "VERSION", plan.productVersion))
                return false;
        } else if (args[i] == "--publisher") {
            if (!text(i, "NAME", plan.publisher))
                return false;
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            return wrong("unknown option " + args[i]);
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 3)
        return wrong("build takes LIST, SOURCE_DIR and OUT_DIR");
    if (plan.solid && plan.codecGiven && plan.codec != PayloadCodec::kLzma)
        return wrong("--solid compresses with LZMA: it goes with --codec lzma or none");
    if (plan.solid)
        plan.codec = PayloadCodec::kLzma;
    if (!plan.signCommand.empty() && plan.setupExe.empty())
        return wrong("--sign signs setup.exe, which needs --setup-exe");
    if (plan.singleFile && plan.setupExe.empty())
        return wrong("--single-file builds on setup.exe, which needs --setup-exe");
    if (!plan.productName.empty() && !plan.singleFile)
        return wrong("--product-name is stored in the single file: it needs --single-file");
    // Each is a line of the list, which the installer refuses whole when a line is too long.
    for (const std::string* given : {&plan.productVersion, &plan.publisher})
        if (2 + given->size() > kMaxLineContent)
            return wrong((given == &plan.publisher ? "--publisher" : "--product-version") +
                         std::string(" is longer than ") + std::to_string(kMaxLineContent - 2) + " bytes");
    plan.listName = positional[0];
    plan.sourceDir = positional[1];
    plan.outDir = FsPath(positional[2]);
    return true;
}

// Puts the lines of the plan's version and publisher on top of |list|,
// which must have none of its own (the installer takes the last).
bool AddProductLines(const BuildPlan& plan, std::vector<uint8_t>& list, std::ostream& err) {
    const std::pair<char, const std::string*> given[] = {{'V', &plan.productVersion}, {'P', &plan.publisher}};
    const std::vector<ListLine> lines = SplitListLines(list.data(), list.size());
    std::string added;
    for (const auto& [letter, value] : given) {
        if (value->empty())
            continue;
        for (const ListLine& line : lines)
            if (line.text.size() >= 3 && UpperAscii(line.text[0]) == letter) {
                PrintError(err, plan.listName + ":" + std::to_string(line.number) + ": the list has its own " +
                                    letter + " line; give " +
                                    (letter == 'V' ? "--product-version" : "--publisher") + " or the line, not both");
                return false;
            }
        added += std::string(1, letter) + ";" + *value + "\r\n";
    }
    list.insert(list.begin(), added.begin(), added.end());
    return true;
}

// Reads the plan's list and checks it against the source folder; prints
// its issues, and is false when it cannot be built from.
bool ReadCheckedList(const BuildPlan& plan, std::vector<uint8_t>& list, std::ostream& err) {
    if (!ReadPlainText(plan.listName, plan.listCodePage, list, err))
        return false;
    if (!IsFolder(plan.sourceDir, err))
        return false;
    // The texts beside the list, the product name, version and publisher
    // are of the medium too.
    bool medium = !IsAscii(plan.productName + plan.productVersion + plan.publisher);
    const fs::path listFolder = FsPath(plan.listName).parent_path();
    for (const char* name : kBesideList) {
        std::error_code ec;
        std::vector<uint8_t> text;
        if (fs::exists(listFolder / FsPath(name), ec) && ReadPlainText(Utf8Of(listFolder / FsPath(name)), plan.listCodePage, text, err))
            medium = medium || !IsAscii(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
    }
    const bool marked = NeedsUtf8Marker(list, medium);
    // Checked before the U line goes on top, so that each issue names its
    // line as the publisher wrote it.
    const std::vector<ListIssue> issues = CheckList(
        list.data(), list.size(), [&](const std::string& source) { return !FindFileIn(plan.sourceDir, source).empty(); },
        marked);
    if (ReportIssues(plan.listName, issues, err)) {
        if (!AddProductLines(plan, list, err))
            return false;
        if (marked)
            AddUtf8Marker(list);
        return true;
    }
    PrintError(err, plan.listName + " has errors; nothing was built");
    return false;
}

// Makes the output folder, which must not be the source folder.
bool MakeOutputFolder(const BuildPlan& plan, std::ostream& err) {
    std::error_code ec;
    if (fs::equivalent(FsPath(plan.sourceDir), plan.outDir, ec)) {
        PrintError(err,
                   "OUT_DIR " + Utf8Of(plan.outDir) + " is SOURCE_DIR; the packed files would replace the sources");
        return false;
    }
    fs::create_directories(plan.outDir, ec);
    if (!ec)
        return true;
    PrintError(err, "cannot create " + Utf8Of(plan.outDir) + ": " + ec.message());
    return false;
}

}  // namespace

int BuildCommand(const CommandArgs& args, std::ostream& out, std::ostream& err, bool terminal) {
    BuildPlan plan;
    if (!ReadBuildPlan(args, plan, err))
        return kExitUsage;
    std::vector<uint8_t> list;
    if (!ReadCheckedList(plan, list, err) || !MakeOutputFolder(plan, err))
        return kExitFailed;
    const std::vector<std::string> sources = ListSources(list.data(), list.size());
    return plan.singleFile ? BuildSingleFile(plan, list, sources, out, err, terminal)
                           : BuildFolder(plan, list, sources, out, err, terminal);
}
