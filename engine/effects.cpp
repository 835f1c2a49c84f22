#include "engine/effects.h"

#include "engine/path_names.h"

#include <iterator>

namespace {

void Nothing(EffectUndo&, const Effect&) {}

void RemoveCreatedDirectory(EffectUndo& undo, const Effect& effect) { undo.RemoveEmptyDirectory(effect.path); }

// A counted DLL goes with its count (LowerSharedCount).
void RemoveNewFile(EffectUndo& undo, const Effect& effect) {
    if (!undo.Counted(effect.path)) undo.RemoveFile(effect.path);
}

// A DLL that stood there before is others' too: it stays.
void RemoveFileOver(EffectUndo& undo, const Effect& effect) {
    if (!IsDllPath(effect.path)) undo.RemoveFile(effect.path);
}

void RestoreBackup(EffectUndo& undo, const Effect& effect) { undo.MoveBack(effect.other, effect.path, effect.data); }

// Deleting the staged file cancels the replacement (a rename at restart
// whose file is gone does nothing); after the restart it is gone already.
// The file in place goes as one placed over another would.
void CancelAtRestart(EffectUndo& undo, const Effect& effect) {
    undo.RemoveFile(effect.other);
    RemoveFileOver(undo, effect);
}

void LowerCount(EffectUndo& undo, const Effect& effect) { undo.LowerSharedCount(effect.path); }

void RemoveCreatedFile(EffectUndo& undo, const Effect& effect) { undo.RemoveFile(effect.path); }

void RemoveKey(EffectUndo& undo, const Effect& effect) { undo.RemoveKeyWhenEmpty(effect.path); }

void RestoreValue(EffectUndo& undo, const Effect& effect) { undo.RestoreValue(effect); }

}  // namespace

// In the order of EffectKind.
const EffectKindInfo kEffectKinds[] = {
    {EffectKind::kDirectory, "dir", kPathOnly, true, RemoveCreatedDirectory},
    {EffectKind::kFileNew, "new", kPathOnly, true, RemoveNewFile},
    {EffectKind::kFileOver, "over", kPathOnly, true, RemoveFileOver},
    {EffectKind::kFileBackup, "backup", kPathOtherAndDigest, true, RestoreBackup},
    {EffectKind::kDllKept, "kept", kPathOnly, true, Nothing},
    {EffectKind::kSharedCount, "count", kPathOnly, true, LowerCount},
    {EffectKind::kShortcut, "link", kPathOnly, true, RemoveCreatedFile},
    {EffectKind::kRegistryKey, "key", kPathOnly, false, RemoveKey},
    {EffectKind::kRegistryValue, "value", kValueBefore, false, RestoreValue},
    {EffectKind::kFileAtRestart, "restart", kPathAndOther, true, CancelAtRestart},
};
const size_t kEffectKindCount = std::size(kEffectKinds);

const EffectKindInfo& KindInfo(EffectKind kind) { return kEffectKinds[static_cast<size_t>(kind)]; }

const EffectKindInfo* KindNamed(std::string_view name) {
    for (const EffectKindInfo& info : kEffectKinds)
        if (name == info.name) return &info;
    return nullptr;
}
