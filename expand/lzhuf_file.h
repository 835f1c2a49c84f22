// Expansion of one payload file into its destination file, through the C
// library's streams, for every codec: the functions are named for LZHUF, the
// first one, and take LZMA and LZ4 payloads the same way, told by the header
// (payload_codec.h).  Pure code: the caller decides how a failure reaches the
// user (a message box in the installer, a line on stderr in the tools).
#pragma once

#include "base/file_io.h"
#include "base/later_close.h"
#include "base/staged_file.h"
#include "formats/setup_sum.h"
#include "expand/lzhuf_decode.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum class ExpandStatus {
    kOk,
    kSourceOpenFailed,   // the source cannot be opened for reading; nothing was opened
    kDestCreateFailed,   // the destination cannot be created, or it exists and cannot be
                         // written; the source is closed again
    kReadFailed,         // the header is shorter than 4 bytes (without a sum), reading the source failed, or
                         // an LZMA payload's dictionary (an LZ4 one's block) does not fit in memory
    kDestAccessFailed,   // writing the destination failed, or it cannot be opened again
    kDamaged,            // the expansion is not what the distribution's setup.sum says: its
                         // stream (or its header) ends early, or its size or digest differ;
                         // dest is untouched
};

struct ExpandResult {
    ExpandStatus status = ExpandStatus::kOk;
    std::string path;           // the file the failure concerns
    LzhufDecodeResult decode;   // what the decoder did, when it ran
    std::string staged;         // placed at restart (Placement::atRestart): the file that replaces dest then
};

// Expands source into dest; an existing dest is replaced.  The expansion is
// written beside dest under a temporary name and renamed over it only when
// complete: after any failure dest is as it was (the old file, or none) and
// no temporary file is left.  Every file is closed on return.
// With |expected| the expansion must be exactly that content, a stream that
// ends before its stated size included (it is decoded with LzhufEnd::Stop):
// anything else is kDamaged, with path = source.
ExpandResult ExpandLzhufFile(const char* source, const char* dest, LzhufEnd end = LzhufEnd::ZeroBits,
                             const SumEntry* expected = nullptr);

// What the caller knows and offers for putting an expansion in place.
struct Placement {
    bool destAbsent = false;        // it has just found no file named dest: not looked up again
    LaterClose* closer = nullptr;   // closes the file put in place (and the one that checks it) later
    // A payload that states this many bytes or more is checked and written on
    // another thread while it is decoded (none: never).
    size_t overlapFrom = SIZE_MAX;
    // Dest is held open by another program: the expansion is not put in
    // place now but staged beside it and renamed over it when Windows
    // restarts (StagedFile::CommitAtRestart); dest is not looked at.
    bool atRestart = false;
};

// The same for a payload that lies in |range| of an open file (|source| is
// its name for the result); the range is read from its start, whatever the
// stream's position was. A file of its own is the range from 0 to its end.
// When |expected| names the packed bytes too (setup.sum version 2), they are
// read and checked first, and a payload that is not as packed is kDamaged
// before any of it is decoded; its expansion is then checked by its size.
ExpandResult ExpandLzhufRange(const FileRange& range, const char* source, const char* dest,
                              LzhufEnd end = LzhufEnd::ZeroBits, const SumEntry* expected = nullptr,
                              const Placement& placement = Placement());

// A payload decoded ahead of its placement, into memory: the source's half of
// ExpandLzhufRange. Until |sourceRead|, |status| says why its compressed bytes
// could not be had (kSourceOpenFailed, kReadFailed), which ExpandLzhufRange
// reports before it looks at the destination; then it is what decoding them
// gave: kOk with the expansion in |bytes|, kDamaged or kReadFailed (a header
// cut short, without a sum). A payload written ahead into its temporary file
// (StageDecodedPayload) has it in |staged|, and its bytes are gone.
struct DecodedPayload {
    ExpandStatus status = ExpandStatus::kOk;
    bool sourceRead = false;
    std::vector<uint8_t> bytes;
    std::unique_ptr<StagedFile> staged;
};

class SolidBlocks;

// Decodes a payload's |compressed| bytes (header and stream) into |payload|,
// checked against |expected| as ExpandLzhufRange checks it. A member of a
// solid block (solid_block.h) is taken from |solid|'s block; without
// |solid| it is refused as ExpandLzhufRange refuses it, as damaged.
void DecodeLzhufBytes(const std::vector<uint8_t>& compressed, DecodedPayload& payload,
                      LzhufEnd end = LzhufEnd::ZeroBits, const SumEntry* expected = nullptr,
                      SolidBlocks* solid = nullptr);

// Writes a payload decoded well ahead into a temporary file beside |dest|
// (the first part of putting it in place), so that PlaceDecodedPayload only
// renames it. False, and |payload| as it was, when that cannot be done now
// (its directory is not there, say): PlaceDecodedPayload then writes it and
// meets whatever failure there is itself.
bool StageDecodedPayload(DecodedPayload& payload, const char* dest);

// The destination's half: puts a payload decoded by DecodeLzhufBytes into
// dest with ExpandLzhufRange's checks, failures and guarantees, in the same
// order. ExpandLzhufRange's result for the same payload and destination.
ExpandResult PlaceDecodedPayload(DecodedPayload& payload, const char* source, const char* dest,
                                 const Placement& placement = Placement());

// Whether setup.sum names the packed bytes of |expected|'s payload (then
// they are checked before any of them is decoded).
bool KnowsPacked(const SumEntry* expected);
// Whether |size| bytes at |data| are the packed file |expected| names.
bool PackedBytesMatch(const uint8_t* data, size_t size, const SumEntry& expected);

// The installer's text for a failure: "Erro de abertura no arquivo " + path,
// "Erro de leitura" or "Erro de acesso ao arquivo " + path.  Empty for kOk
// and kDamaged, which the caller reports as a damaged distribution.
std::string ExpandFailureText(const ExpandResult& result);
