// mksetup check, compress, expand and show: one list or one file at a time.
#include "tools/mksetup/command.h"

#include "base/file_io.h"
#include "formats/file_list.h"
#include "formats/scramble.h"
#include "expand/payload_codec.h"
#include "expand/lzhuf_file.h"
#include "expand/lzhuf_scheme.h"
#include "tools/mksetup/mksetup_files.h"

#include <cstdio>
#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

int CheckCommand(const CommandArgs& given, std::ostream& out, std::ostream& err, bool) {
    CommandArgs args = given;
    unsigned codePage = 0;
    const auto option = std::find(args.begin(), args.end(), "--list-codepage");
    if (option != args.end()) {
        if (option + 1 == args.end() || !ParseListCodePage(option[1], codePage))
            return Usage(err, "--list-codepage needs one of 932, 936, 949, 950 and 1250 to 1258");
        args.erase(option, option + 2);
    }
    if (args.size() < 2 || args.size() > 3)
        return Usage(err, "check takes LIST and optionally SOURCE_DIR");
    std::vector<uint8_t> list;
    if (!ReadPlainText(args[1], codePage, list, err))
        return kExitFailed;
    SourceFinder finder;
    if (args.size() == 3) {
        if (!IsFolder(args[2], err))
            return kExitFailed;
        finder = [&](const std::string& source) { return !FindFileIn(args[2], source).empty(); };
    }
    // Checked as a build would write it.
    const std::vector<ListIssue> issues = CheckList(list.data(), list.size(), finder, NeedsUtf8Marker(list, false));
    const bool clean = ReportIssues(args[1], issues, out);
    return clean ? kExitOk : kExitFailed;
}

int CompressCommand(const CommandArgs& args, std::ostream& out, std::ostream& err, bool) {
    PayloadCodec codec = PayloadCodec::kLzhuf;
    if (args.size() == 5 && args[3] == "--codec") {
        if (!ParseCodec(args[4], codec))
            return Usage(err, "--codec needs lzhuf, lzma or lz4");
    } else if (args.size() != 3) {
        return Usage(err, "compress takes IN and OUT, and optionally --codec NAME");
    }
    if (FolderInTheWay(args[2], err))
        return kExitFailed;
    std::vector<uint8_t> data, packed;
    if (!ReadWholeFile(args[1], data))
        return Fail(err, "cannot read " + args[1]);
    if (!EncodePayload(codec, data.data(), data.size(), packed))
        return Fail(err, codec == PayloadCodec::kLzhuf ? args[1] + " is too large (2 GB at most)"
                                                        : "cannot compress " + args[1] + " (out of memory)");
    if (!WriteFileAtomically(args[2], packed.data(), packed.size()))
        return Fail(err, "cannot write " + args[2]);
    out << args[1] << ": " << data.size() << " -> " << packed.size() << " bytes (" << Percent(packed.size(), data.size())
        << ", " << CodecName(codec) << ")\n";
    return kExitOk;
}

namespace {

// The size that the LZHUF header of the compressed file |path| states; false
// when it has no header or is a payload of another codec.
bool ReadStatedLzhufSize(const std::string& path, int32_t& size) {
    FilePtr in(OpenFile(path, "rb"));
    uint8_t header[kHeaderSize];
    if (!in || std::fread(header, 1, kHeaderSize, in.get()) != kHeaderSize ||
        PayloadCodecOf(header, kHeaderSize) != PayloadCodec::kLzhuf)
        return false;
    size = ReadLzhufHeader(header);
    return true;
}

}  // namespace

int ExpandCommand(const CommandArgs& args, std::ostream&, std::ostream& err, bool) {
    if (args.size() != 3)
        return Usage(err, "expand takes IN and OUT");
    if (FolderInTheWay(args[2], err))
        return kExitFailed;
    // Expanded under a temporary name first: a damaged file found only at
    // its end leaves OUT as it was.
    ToolStagedFile staged(args[2]);
    const std::string temporary = staged->TemporaryPath();
    if (!staged->Close())
        return Fail(err, "cannot create " + args[2]);
    const ExpandResult r = ExpandLzhufFile(args[1].c_str(), temporary.c_str(), LzhufEnd::Stop);
    std::string problem;
    int32_t stated = 0;
    switch (r.status) {
    case ExpandStatus::kOk:
        // The installer expands a negative size to nothing; no encoder writes one.
        if (ReadStatedLzhufSize(args[1], stated) && stated < 0)
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
    case ExpandStatus::kDamaged:  // a stream its codec refuses (there is no sum to check here)
        problem = args[1] + " is damaged: its codec refuses it";
        break;
    }
    if (!problem.empty())
        return Fail(err, problem);
    if (!staged->Commit())
        return Fail(err, "cannot write " + args[2]);
    return kExitOk;
}

int ShowCommand(const CommandArgs& args, std::ostream& out, std::ostream& err, bool) {
    if (args.size() != 2)
        return Usage(err, "show takes FILE");
    std::vector<uint8_t> data;
    if (!ReadWholeFile(args[1], data))
        return Fail(err, "cannot read " + args[1]);
    ScrambleBuffer(data.data(), data.size());
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    out.flush();
    if (!out)
        return Fail(err, "cannot write standard output");
    return kExitOk;
}
