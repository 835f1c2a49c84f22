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

// A failed run puts back what stood there.
void PutBackFileOver(EffectUndo& undo, const Effect& effect) { undo.PutBack(effect.path); }

// Deleting the staged file cancels the replacement (a rename at restart
// whose file is gone does nothing); after the restart it is gone already.
// The file in place goes as one placed over another would.
void CancelAtRestart(EffectUndo& undo, const Effect& effect) {
    undo.RemoveFile(effect.other);
    RemoveFileOver(undo, effect);
}

// A failed run only cancels the replacement: the file in place is still the
// one that stood there.
void CancelReplacement(EffectUndo& undo, const Effect& effect) { undo.RemoveFile(effect.other); }

void LowerCount(EffectUndo& undo, const Effect& effect) { undo.LowerSharedCount(effect.path); }

void RemoveCreatedFile(EffectUndo& undo, const Effect& effect) { undo.RemoveFile(effect.path); }

void RemoveKey(EffectUndo& undo, const Effect& effect) { undo.RemoveKeyWhenEmpty(effect.path); }

void RestoreValue(EffectUndo& undo, const Effect& effect) { undo.RestoreValue(effect); }

}  // namespace

// In the order of EffectKind. A failed run undoes what it did itself: a
// file it placed new goes whether or not it is counted (nothing stood there
// before it), and one it placed over another gives way to that one.
const EffectKindInfo kEffectKinds[] = {
    {EffectKind::kDirectory, "dir", kPathOnly, true, RemoveCreatedDirectory, RemoveCreatedDirectory},
    {EffectKind::kFileNew, "new", kPathOnly, true, RemoveNewFile, RemoveCreatedFile},
    {EffectKind::kFileOver, "over", kPathOnly, true, RemoveFileOver, PutBackFileOver},
    {EffectKind::kFileBackup, "backup", kPathOtherAndDigest, true, RestoreBackup, RestoreBackup},
    {EffectKind::kDllKept, "kept", kPathOnly, true, Nothing, Nothing},
    {EffectKind::kSharedCount, "count", kPathOnly, true, LowerCount, LowerCount},
    {EffectKind::kShortcut, "link", kPathOnly, true, RemoveCreatedFile, RemoveCreatedFile},
    {EffectKind::kRegistryKey, "key", kPathOnly, false, RemoveKey, RemoveKey},
    {EffectKind::kRegistryValue, "value", kValueBefore, false, RestoreValue, RestoreValue},
    {EffectKind::kFileAtRestart, "restart", kPathAndOther, true, CancelAtRestart, CancelReplacement},
};
const size_t kEffectKindCount = std::size(kEffectKinds);

const EffectKindInfo& KindInfo(EffectKind kind) { return kEffectKinds[static_cast<size_t>(kind)]; }

const EffectKindInfo* KindNamed(std::string_view name) {
    for (const EffectKindInfo& info : kEffectKinds)
        if (name == info.name) return &info;
    return nullptr;
}
