// The kinds of effect an installation records, each described once: its
// line in "uninstall.dat" (name and fields, docs/uninstall-record.md), how
// the uninstaller undoes it, and how an unattended run that fails undoes it
// before it ends. The record's writer, its reader and both undos all work
// from kEffectKinds; a new kind is one entry there plus the step that causes
// it (docs/how-to-add-an-effect.md). Win32-free: the undo of each kind is
// said in terms of EffectUndo, which engine/uninstall.cpp implements.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

enum class EffectKind {
    kDirectory,     // a directory was created (path)
    kFileNew,       // a file was placed where there was none (path)
    kFileOver,      // a file was placed over an existing one that was not saved (path)
    kFileBackup,    // an existing DLL was moved to |other| (in Backup) and the new one placed at path; |data|: its SHA-256
    kDllKept,       // an existing newer DLL was kept; nothing was placed (path)
    kSharedCount,   // the shared-DLL count of path was raised by one
    kShortcut,      // a shortcut file was created (path)
    kRegistryKey,   // a registry key was created (path: root name and keys joined by backslashes)
    kRegistryValue, // a value |other| below the key path was written; what it held before in existed/type/data
    kFileAtRestart, // a file in use at path is replaced by the staged file |other| when Windows restarts
};

struct Effect {
    EffectKind kind = EffectKind::kFileNew;
    std::string path;
    std::string other;     // kFileBackup: the backup path; kRegistryValue: the value name;
                           // kFileAtRestart: the staged file
    bool existed = false;  // kRegistryValue: the value existed before
    uint32_t type = 0;     // and its type then
    std::string data;      // and its bytes then; kFileBackup: the 32 bytes of the saved DLL's SHA-256 (empty: not known)

    bool operator==(const Effect& o) const {
        return kind == o.kind && path == o.path && other == o.other && existed == o.existed && type == o.type &&
               data == o.data;
    }
};

// The fields of a record line after the kind's name: the path always, then
// those of these the kind has, in this order. The record's writer and
// reader follow it field by field: a kind with another combination needs
// nothing more of them.
struct EffectFields {
    bool other;           // |other|
    bool before;          // what stood there before: "-" (nothing) or "+", its type and its data in hex
    bool digest = false;  // |data| as 64 lower-case hex digits, when known (a record of an earlier version has none)
};
constexpr EffectFields kPathOnly{false, false};
constexpr EffectFields kPathAndOther{true, false};
constexpr EffectFields kPathOtherAndDigest{true, false, true};
constexpr EffectFields kValueBefore{true, true};

// What undoing needs of the system: the uninstaller's side (engine/uninstall.cpp).
// Each operation logs what it did; what it cannot do is logged and listed as
// staying.
class EffectUndo {
public:
    virtual ~EffectUndo() = default;
    // Deletes a file (gone already counts as done).
    virtual void RemoveFile(const std::string& path) = 0;
    // Removes a directory, now or, while something is still in it, at the end.
    virtual void RemoveEmptyDirectory(const std::string& path) = 0;
    // Puts the DLL saved as |from| (in Backup) back at |to| in place of what
    // stands there now, once its bytes are those of |digest| (the 32 bytes
    // of their SHA-256; empty: not known, the file goes back as it is).
    // Anything else leaves both files as they are, and says so.
    virtual void MoveBack(const std::string& from, const std::string& to, const std::string& digest) = 0;
    // Puts back the file that stood at |path| before the run replaced it,
    // from where the run kept it aside (only a failed run has kept any).
    virtual void PutBack(const std::string& path) = 0;
    // Lowers the shared-DLL count of |dll|; at zero the count goes, and the
    // DLL too when the installation placed it new (outside the application
    // directory only when the user agrees; a failed run's undo asks nothing).
    virtual void LowerSharedCount(const std::string& dll) = 0;
    // Removes the registry key |keyPath| when it holds nothing.
    virtual void RemoveKeyWhenEmpty(const std::string& keyPath) = 0;
    // Puts a registry value back as |value| says it was (or deletes it).
    virtual void RestoreValue(const Effect& value) = 0;
    // Whether the record raised the shared count of |path|.
    virtual bool Counted(const std::string& path) const = 0;
};

struct EffectKindInfo {
    EffectKind kind;
    const char* name;                          // the first field of its record line
    EffectFields fields;                       // what follows the name
    bool filePaths;                            // path (and other) are full file paths
    void (*undo)(EffectUndo&, const Effect&);      // how the uninstaller undoes it
    void (*rollback)(EffectUndo&, const Effect&);  // how a failed run undoes it, in the same process
};

extern const EffectKindInfo kEffectKinds[];
extern const size_t kEffectKindCount;

// The entry of |kind|.
const EffectKindInfo& KindInfo(EffectKind kind);
// The entry whose line name is |name|; null for none.
const EffectKindInfo* KindNamed(std::string_view name);
