#include "engine/expand_payload.h"

#include "expand/lzhuf_file.h"

#include <windows.h>

int ExpandFile(const char* source, const char* dest, RunUi& ui, const Medium& medium, InstallLog& log) {
    return ExpandPayload(source, dest, ui, medium, log).Failed() ? 1 : 0;
}

RunResult ExpandPayload(const char* source, const char* dest, RunUi& ui, const Medium& medium, InstallLog& log,
                        const DWORD* destAttributes, PayloadPrefetch* ahead, LaterClose* closer) {
    const SumEntry* expected = nullptr;
    if (medium.Sum().present) {
        // A payload that setup.sum does not list cannot be checked: it is
        // not one that was packed with it.
        expected = medium.Sum().sum.Find(source);
        if (!expected) {
            ReportDamagedFile(source, ui, log);
            return RunResult(RunOutcome::kDamaged, source);
        }
    }
    // A read-only destination is not written over. Windows refuses to open
    // it for writing anyway; this makes the refusal the same where the file
    // system would let it pass (an administrator's Wine, say).
    const DWORD attributes = destAttributes ? *destAttributes : GetFileAttributesA(dest);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        ExpandResult refused;
        refused.status = ExpandStatus::kDestCreateFailed;
        refused.path = dest;
        ui.ShowBox(RunBox::kExpander, ExpandFailureText(refused));
        return RunResult(RunOutcome::kExpandFailed, dest);
    }
    Placement placement;
    placement.destAbsent = attributes == INVALID_FILE_ATTRIBUTES;
    placement.closer = closer;
    // Where payloads are decoded ahead, one the run decodes itself (a large
    // one, say) is checked and written on another thread meanwhile.
    if (ahead) placement.overlapFrom = size_t(1) << 20;
    ExpandResult result;
    DecodedPayload decoded;
    if (ahead && ahead->Take(source, decoded)) {
        result = PlaceDecodedPayload(decoded, source, dest, placement);
    } else {
        // The payload is decoded straight from where the medium holds it.
        FilePtr owned;
        FileRange range;
        const Medium::StreamHold stream(medium);
        if (!medium.Open(source, owned, range)) {
            ExpandResult missing;
            missing.status = ExpandStatus::kSourceOpenFailed;
            missing.path = source;
            ui.ShowBox(RunBox::kExpander, ExpandFailureText(missing));
            return RunResult(RunOutcome::kExpandFailed, source);
        }
        result = ExpandLzhufRange(range, source, dest, LzhufEnd::ZeroBits, expected, placement);
    }
    if (result.status == ExpandStatus::kOk) return RunResult();
    if (result.status == ExpandStatus::kDamaged) {
        ReportDamagedFile(source, ui, log);
        return RunResult(RunOutcome::kDamaged, source);
    }
    ui.ShowBox(RunBox::kExpander, ExpandFailureText(result));
    return RunResult(RunOutcome::kExpandFailed, result.path);
}

std::string DamagedDistributionText(const std::string& name) {
    return "The installation files are damaged: " + name +
           " is not as it was packed.\nPlease get a new copy of the installation files and run Setup again.";
}

void ReportDamagedFile(const std::string& name, RunUi& ui, InstallLog& log) {
    WriteLog(log, "Damaged distribution: %s does not match setup.sum, must abort", name.c_str());
    ui.ShowBox(RunBox::kError, DamagedDistributionText(name));
}
