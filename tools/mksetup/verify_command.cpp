// mksetup verify and unpack: a distribution checked against its setup.sum,
// and the files of a single-file setup.exe written out.
#include "tools/mksetup/command.h"

#include "base/file_io.h"
#include "formats/medium_files.h"
#include "formats/overlay.h"
#include "formats/scramble.h"
#include "formats/setup_sum.h"
#include "expand/payload_codec.h"
#include "expand/solid_block.h"
#include "tools/mksetup/mksetup_files.h"

#include <algorithm>
#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

namespace {

// Why the bytes of the file that |entry| names are not what it says, or an
// empty text when they are. A payload is expanded as the installer checks
// it; the medium's own files are taken as they are.
std::string SumMismatch(const SumEntry& entry, const uint8_t* data, size_t size, SolidBlocks& blocks) {
    std::vector<uint8_t> expanded;
    // The packed bytes as setup.sum names them, which the installer checks
    // before it decodes them: after what decoding says, which says more.
    std::string packedMismatch;
    if (!IsSummedAsStored(entry.name) && entry.packed) {
        Sha256Digest packed;
        if (size != entry.packedSize)
            packedMismatch = "packed, " + std::to_string(size) + " bytes where setup.sum says " +
                             std::to_string(entry.packedSize);
        else if (!HashBytes(data, size, packed) || packed != entry.packedSha256)
            packedMismatch = "packed, its SHA-256 differs";
    }
    if (!IsSummedAsStored(entry.name)) {
        // (An LZMA or LZ4 payload states its size exactly, and is held whole.)
        const uint64_t stated = StatedPayloadSize(data, size);
        if (PayloadCodecOf(data, size) != PayloadCodec::kLzhuf && stated != entry.size)
            return "states " + std::to_string(stated) + " bytes where setup.sum says " + std::to_string(entry.size);
        std::string why;
        if (!DecodePayloadStrictly(data, size, expanded, why, &blocks))
            return why;
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
    return packedMismatch;
}

// The solid blocks of a distribution whose files |read| gives (false: the
// file is missing or unreadable), checked against |sum|.
SolidBlocks BlocksOf(const SetupSum& sum, std::function<bool(const std::string&, std::vector<uint8_t>&)> read) {
    return SolidBlocks([&sum, read](const std::string& name, std::vector<uint8_t>& bytes) {
        const SumEntry* expected = sum.Find(name);
        if (!expected || !read(name, bytes)) return ExpandStatus::kDamaged;
        return CheckBlockFile(bytes, expected);
    });
}

// Reads and parses the setup.sum text |text| that |where| names; reports a damaged one.
bool ParseSum(const std::vector<uint8_t>& text, const std::string& where, SetupSum& sum, std::ostream& err) {
    std::string problem;
    if (sum.Parse(text.data(), text.size(), &problem))
        return true;
    PrintError(err, where + ": " + problem);
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
    const std::string sumName = Utf8Of(dir / kSumFileName);
    std::vector<uint8_t> text;
    if (!ReadWholeFile(sumName, text))
        return Fail(err, "cannot read " + sumName);
    SetupSum sum;
    if (!ParseSum(text, sumName, sum, err))
        return kExitFailed;
    VerifyCount count;
    SolidBlocks blocks(BlocksOf(sum, [&dir](const std::string& name, std::vector<uint8_t>& bytes) {
        const std::string relative = RelativeOutputPath(name);
        return !relative.empty() && ReadWholeFile(Utf8Of(dir / FsPath(relative)), bytes);
    }));
    for (const SumEntry& entry : sum.Entries()) {
        const std::string relative = RelativeOutputPath(entry.name);
        std::vector<uint8_t> file;
        std::string why;
        if (relative.empty())
            why = "names a place outside the folder";
        else if (!ReadWholeFile(Utf8Of(dir / FsPath(relative)), file))
            why = "missing or unreadable";
        else
            why = SumMismatch(entry, file.data(), file.size(), blocks);
        count.Line(out, entry.name, why);
    }
    std::vector<uint8_t> drc;
    if (ReadWholeFile(Utf8Of(dir / kFileListName), drc))
        ReportUnlisted(drc, sum, count, out);

    // setup.exe, when it carries the digest of setup.sum, refuses any other.
    std::vector<uint8_t> exe;
    OverlayFile file;
    std::string problem;
    if (ReadWholeFile(Utf8Of(dir / "setup.exe"), exe)) {
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
    return count.End(out, Utf8Of(dir));
}

// Reads a single-file medium whole and checks its overlay; reports what is wrong.
bool ReadSingleFile(const std::string& path, std::vector<uint8_t>& data, OverlayFile& file, std::ostream& out,
                    std::ostream& err) {
    std::string problem;
    if (!ReadWholeFile(path, data)) {
        PrintError(err, "cannot read " + path);
        return false;
    }
    if (!ReadOverlayFile(data.data(), data.size(), file, &problem)) {
        out << path << ": DAMAGED, " << problem << "\n";
        return false;
    }
    if (!file.present || !FindOverlayItem(file.items, OverlayKind::kFile, kSumFileName)) {
        PrintError(err, path + " holds no distribution (it is a bare setup.exe, or one of a folder)");
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
    SolidBlocks blocks(BlocksOf(sum, [&](const std::string& name, std::vector<uint8_t>& bytes) {
        const OverlayItem* item = FindOverlayItem(file.items, OverlayKind::kFile, name);
        if (item) bytes = bytesOf(*item);
        return item != nullptr;
    }));
    for (const SumEntry& entry : sum.Entries()) {
        const OverlayItem* item = FindOverlayItem(file.items, OverlayKind::kFile, entry.name);
        count.Line(out, entry.name,
                   item ? SumMismatch(entry, overlay + item->offset, size_t(item->size), blocks) : "missing");
    }
    for (const OverlayItem& item : file.items)
        if (item.kind == OverlayKind::kFile && !sum.Find(item.name) && !SameSumName(item.name, kSumFileName))
            count.Unlisted(out, item.name);
    if (const OverlayItem* drc = FindOverlayItem(file.items, OverlayKind::kFile, kFileListName))
        ReportUnlisted(bytesOf(*drc), sum, count, out);
    const OverlayItem* uninstaller = FindOverlayItem(file.items, OverlayKind::kUninstaller);
    OverlayFile bare;
    std::string problem = "missing";
    if (FindOverlayItem(file.items, OverlayKind::kUninstallerIsImage))
        problem.clear();  // this file's image with the mark
    else if (uninstaller && ReadOverlayFile(overlay + uninstaller->offset, size_t(uninstaller->size), bare, &problem))
        problem = IsUninstallerOnly(bare.items) ? "" : "is not marked as an uninstaller";
    count.Line(out, "uninstall.exe", problem);
    if (const OverlayItem* name = FindOverlayItem(file.items, OverlayKind::kProductName))
        out << "product name: " << std::string(overlay + name->offset, overlay + name->offset + name->size) << "\n";
    return count.End(out, path);
}

}  // namespace

int VerifyCommand(const CommandArgs& args, std::ostream& out, std::ostream& err, bool) {
    if (args.size() != 2)
        return Usage(err, "verify takes DIR or FILE");
    std::error_code ec;
    if (fs::is_regular_file(FsPath(args[1]), ec))
        return VerifySingleFile(args[1], out, err);
    if (!IsFolder(args[1], err))
        return kExitFailed;
    return VerifyFolder(FsPath(args[1]), out, err);
}

// Writes the files of a single-file medium into a folder: every stored file
// under its name, and the uninstaller as uninstall.exe; nothing from a
// damaged one.
int UnpackCommand(const CommandArgs& args, std::ostream& out, std::ostream& err, bool) {
    if (args.size() != 3)
        return Usage(err, "unpack takes FILE and OUT_DIR");
    std::vector<uint8_t> data;
    OverlayFile file;
    if (!ReadSingleFile(args[1], data, file, err, err))
        return kExitFailed;
    const fs::path outDir = FsPath(args[2]);
    std::error_code ec;
    fs::create_directories(outDir, ec);
    if (ec)
        return Fail(err, "cannot create " + Utf8Of(outDir) + ": " + ec.message());
    size_t written = 0;
    // (An unsigned file's uninstaller is its own image, made as setup.exe makes it.)
    const std::string ownImage = UninstallerOfImage(data.data(), file.layout);
    for (const OverlayItem& item : file.items) {
        std::string name = "uninstall.exe";
        if (item.kind == OverlayKind::kFile)
            name = RelativeOutputPath(item.name);
        else if (item.kind != OverlayKind::kUninstaller && item.kind != OverlayKind::kUninstallerIsImage)
            continue;
        if (name.empty())
            return Fail(err, item.name + " names a place outside the folder; not written");
        const fs::path to = outDir / FsPath(name);
        fs::create_directories(to.parent_path(), ec);
        const bool image = item.kind == OverlayKind::kUninstallerIsImage;
        const uint8_t* bytes =
            image ? reinterpret_cast<const uint8_t*>(ownImage.data()) : data.data() + file.layout.imageEnd + item.offset;
        if (FolderInTheWay(Utf8Of(to), err))
            return kExitFailed;
        if (!WriteFileAtomically(Utf8Of(to), bytes, image ? ownImage.size() : size_t(item.size)))
            return Fail(err, "cannot write " + Utf8Of(to));
        ++written;
    }
    out << "wrote " << written << " files into " << Utf8Of(outDir) << "\n";
    return kExitOk;
}
