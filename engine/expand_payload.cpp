#include "engine/expand_payload.h"

#include "base/file_system.h"
#include "engine/files_in_use.h"
#include "expand/lzhuf_file.h"
#include "expand/medium_blocks.h"

#include <windows.h>

namespace {

// The expander's failure, with the text of its box.
RunResult ExpanderError(const ExpandResult& failed) {
    return RunResult(RunOutcome::kExpanderError, failed.path, 0, ExpandFailureText(failed));
}

// Decodes |source| straight from where |medium| holds it into |dest|,
// holding the medium's stream meanwhile (Medium::StreamHold). Called only
// once the payloads decoded ahead have been asked: a thread that holds the
// stream must not wait for one of them (see PayloadPrefetch).
ExpandResult ExpandFromMedium(const char* source, const char* dest, const Medium& medium, const SumEntry* expected,
                              const Placement& placement) {
    FilePtr owned;
    FileRange range;
    const Medium::StreamHold stream(medium);
    if (!medium.Open(source, owned, range)) {
        ExpandResult missing;
        missing.status = ExpandStatus::kSourceOpenFailed;
        missing.path = source;
        return missing;
    }
    return ExpandLzhufRange(range, source, dest, LzhufEnd::ZeroBits, expected, placement);
}

// A member of a solid block (as setup.sum's packed size says; a payload
// of that size that is not one decodes the same way), taken from its block
// into memory and put in place from there.
bool IsMemberFile(const SumEntry* expected) {
    return expected && expected->packed && expected->packedSize == kSolidMemberSize;
}

ExpandResult ExpandMember(const char* source, const char* dest, const Medium& medium, const SumEntry* expected,
                          const Placement& placement) {
    DecodedPayload decoded;
    std::vector<uint8_t> file;
    switch (medium.ReadWhole(source, file)) {
    case Medium::ReadOutcome::kMissing:
        decoded.status = ExpandStatus::kSourceOpenFailed;
        break;
    case Medium::ReadOutcome::kFailed:
        decoded.status = ExpandStatus::kReadFailed;
        break;
    case Medium::ReadOutcome::kRead:
        DecodeLzhufBytes(file, decoded, LzhufEnd::ZeroBits, expected, &SolidBlocksOf(medium));
        break;
    }
    return PlaceDecodedPayload(decoded, source, dest, placement);
}

}  // namespace

RunResult ExpandPayload(const char* source, const char* dest, const Medium& medium, const DWORD* destAttributes,
                        PayloadPrefetch* ahead, LaterClose* closer, InUsePlacement* inUse) {
    const SumEntry* expected = nullptr;
    if (medium.Sum().present) {
        // A payload that setup.sum does not list cannot be checked: it is
        // not one that was packed with it.
        expected = medium.Sum().sum.Find(source);
        if (!expected) return RunResult(RunOutcome::kDamaged, source);
    }
    // A read-only destination is not written over. Windows refuses to open
    // it for writing anyway; this makes the refusal the same where the file
    // system would let it pass (an administrator's Wine, say).
    const DWORD attributes = destAttributes ? *destAttributes : PathAttributes(dest);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        ExpandResult refused;
        refused.status = ExpandStatus::kDestCreateFailed;
        refused.path = dest;
        return ExpanderError(refused);
    }
    Placement placement;
    placement.destAbsent = attributes == INVALID_FILE_ATTRIBUTES;
    placement.atRestart = inUse && inUse->known;
    placement.closer = closer;
    // Where payloads are decoded ahead, one the run decodes itself (a large
    // one, say) is checked and written on another thread meanwhile.
    if (ahead) placement.overlapFrom = size_t(1) << 20;
    const auto fromMedium = [&] {
        return IsMemberFile(expected) ? ExpandMember(source, dest, medium, expected, placement)
                                      : ExpandFromMedium(source, dest, medium, expected, placement);
    };
    ExpandResult result;
    DecodedPayload decoded;
    if (ahead && ahead->Take(source, decoded))
        result = PlaceDecodedPayload(decoded, source, dest, placement);
    else
        result = fromMedium();
    // A destination that cannot be written or replaced because another
    // program holds it: the payload again, from the medium, for the restart.
    // (Looked into only after such a failure: it costs nothing otherwise.)
    const bool destRefused =
        result.status == ExpandStatus::kDestCreateFailed || result.status == ExpandStatus::kDestAccessFailed;
    if (inUse && !placement.atRestart && destRefused && result.path == dest && FileInUse(dest)) {
        placement.atRestart = true;
        result = fromMedium();
    }
    if (inUse) inUse->staged = result.staged;
    if (result.status == ExpandStatus::kOk) return RunResult();
    if (result.status == ExpandStatus::kDamaged) return RunResult(RunOutcome::kDamaged, source);
    return ExpanderError(result);
}
