#include "engine/uninstall.h"

#include "base/file_io.h"
#include "base/file_system.h"
#include "base/registry_path.h"
#include "base/wide_text.h"
#include "formats/setup_sum.h"
#include "base/sha256.h"
#include "base/staged_file.h"
#include "engine/directory.h"
#include "engine/file_placement.h"
#include "base/format_text.h"
#include "engine/path_names.h"
#include "engine/private_folder.h"
#include "engine/registry_values.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <string_view>

namespace {

constexpr char kUninstallKeys[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string InDir(const std::string& dir, const char* name) { return dir + "\\" + name; }

bool IsPlacement(EffectKind kind) {
    return kind == EffectKind::kFileNew || kind == EffectKind::kFileOver || kind == EffectKind::kFileBackup ||
           kind == EffectKind::kFileAtRestart;
}

// Writes the Uninstall values below |key|, the product's key below a root
// ("HKEY_LOCAL_MACHINE\...\Uninstall\<name>"); false at the first value
// that cannot be written. The record's digest is written empty here,
// recorded with what it held before like the other values;
// RegisterRecordDigest sets it once the record's text is known.
bool WriteUninstallValues(const std::string& key, const std::string& displayName, const UninstallerSource& source,
                          const std::string& appDir, uint32_t sizeKb, InstallRecord& record, InstallLog* log,
                          bool digest) {
    const std::string prefix = key + "\\";
    const std::string uninstaller = InDir(appDir, kUninstallerName);
    const std::string command = "\"" + uninstaller + "\" /uninstall";
    const std::string strings[][2] = {{"DisplayName", displayName},
                                      {"UninstallString", command},
                                      {"QuietUninstallString", command + " /S"},
                                      {"InstallLocation", appDir},
                                      {"DisplayIcon", uninstaller},
                                      {"DisplayVersion", source.version},
                                      {"Publisher", source.publisher}};
    for (const auto& value : strings) {
        // A version or publisher the product does not give: an earlier
        // installation's would be wrong now.
        if (value[1].empty()) {
            if (!RemoveRegistryValue((prefix + value[0]).c_str(), '\\', record)) return false;
            continue;
        }
        if (!WriteRegistryString((prefix + value[0]).c_str(), value[1].c_str(), '\\', record)) return false;
        if (log) WriteLog(*log, "Key added successfully: %s=%s", (prefix + value[0]).c_str(), value[1].c_str());
    }
    const std::pair<const char*, DWORD> dwords[] = {{"EstimatedSize", sizeKb}, {"NoModify", 1}, {"NoRepair", 1}};
    for (const auto& value : dwords) {
        if (!WriteRegistryDword((prefix + value.first).c_str(), value.second, '\\', record)) return false;
        if (log)
            WriteLog(*log, "Key added successfully: %s=%0x", (prefix + value.first).c_str(),
                     static_cast<unsigned>(value.second));
    }
    return !digest || WriteRegistryString((prefix + kRecordDigestValue).c_str(), "", '\\', record) != FALSE;
}

}  // namespace

std::string UninstallKeyName(const std::string& productName, const std::string& appDir) {
    std::string name = productName.empty() ? GetPathFileName(appDir) : productName;
    std::replace(name.begin(), name.end(), '\\', ' ');
    return name.empty() ? "Setup" : name;
}

RunResult CopyUninstaller(const UninstallerSource& source, const std::string& appDir) {
    const std::string uninstaller = InDir(appDir, kUninstallerName);
    const bool copied = !source.made.empty() ? WriteFileStaged(uninstaller, source.made)
                        : source.stored.file ? CopyRangeStaged(source.stored, uninstaller)
                                             : CopyFileStaged(source.programPath, uninstaller);
    if (copied)
        return RunResult();
    return RunResult(RunOutcome::kUninstallerNotCopied, uninstaller, GetLastError());
}

uint32_t EstimatedSizeKb(const std::vector<Effect>& effects, const std::string& uninstaller) {
    unsigned long long bytes = 0;
    auto add = [&bytes](const std::string& path) {
        unsigned long long size = 0;
        if (FileSizeOf(path, size)) bytes += size;
    };
    for (const Effect& effect : effects)
        if (IsPlacement(effect.kind)) add(effect.path);
    add(uninstaller);
    return static_cast<uint32_t>((bytes + 1023) / 1024);
}

RunResult RegisterUninstaller(const UninstallerSource& source, const std::string& appDir, uint32_t sizeKb,
                              InstallRecord& run, InstallLog* log, bool digest) {
    const std::string keyName = UninstallKeyName(source.productName, appDir);
    const std::string displayName = source.productName.empty() ? keyName : source.productName;
    // HKLM when it can be written, else the user's own entry. The
    // registration is the run's last effect: the uninstaller removes it.
    for (const char* root : {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER"}) {
        const std::string key = std::string(root) + "\\" + kUninstallKeys + keyName;
        if (WriteUninstallValues(key, displayName, source, appDir, sizeKb, run, log, digest))
            return RunResult(RunOutcome::kGoingOn, key);
    }
    return RunResult(RunOutcome::kNotRegistered, kUninstallKeys + keyName);
}

RunResult SaveInstallRecord(const std::string& text, const std::string& appDir) {
    const std::string path = InDir(appDir, kInstallRecordName);
    StagedFile file(path);
    if (file.Get() && std::fwrite(text.data(), 1, text.size(), file.Get()) == text.size() && file.Commit())
        return RunResult();
    return RunResult(RunOutcome::kRecordNotSaved, path, GetLastError());
}

RunResult RegisterRecordDigest(const std::string& key, const std::string& text, const std::string& path,
                               std::string& hex) {
    const RunResult failed(RunOutcome::kRecordNotSaved, path, 0, "is not vouched for: its digest cannot be registered");
    Sha256Digest digest;
    if (!HashBytes(text.data(), text.size(), digest)) return failed;
    hex = DigestHex(digest);
    RegKey opened;
    LONG result = opened.OpenPath(key, KEY_SET_VALUE);
    if (result == ERROR_SUCCESS)
        result = SetRegistryValue(opened.Get(), kRecordDigestValue, REG_SZ, hex.c_str(), static_cast<DWORD>(hex.size() + 1));
    if (result != ERROR_SUCCESS) return RunResult(failed.what, path, static_cast<uint32_t>(result), failed.detail);
    return RunResult();
}

namespace {

// A directory as an InstallLocation is compared with it: full, with long
// names, without a closing backslash.
std::string ComparableDirectory(const std::string& dir) {
    std::string result = dir, changed;
    if (FullPathOf(result, changed)) result = changed;
    if (LongPathOf(result, changed)) result = changed;
    while (result.size() > 3 && result.back() == '\\') result.pop_back();
    return result;
}

// A string value of |key|; empty when it is missing, not a string or longer than a path.
std::string StringValue(HKEY key, const char* name) {
    DWORD type = 0;
    std::string data;
    if (QueryRegistryValue(key, name, type, data) != ERROR_SUCCESS || type != REG_SZ) return std::string();
    data.resize(std::char_traits<char>::length(data.c_str()));
    return data;
}

// What the Uninstall keys below a root say of a record.
enum class Vouching {
    kNoKey,        // no key is for its directory
    kVouched,      // a key for its directory holds its digest
    kOtherDigest,  // the keys for its directory hold other digests
};

// Whether the journal value |value| ("<digest> <length>") of a key vouches
// for the first bytes of |bytes|, of |size|: then |vouched| is their number.
bool JournalVouches(const std::string& value, const uint8_t* bytes, size_t size, size_t& vouched) {
    const size_t blank = value.find(' ');
    unsigned long long length = 0;
    if (blank != 64 || value.size() == 65 || value.size() > 65 + 20) return false;
    for (char ch : value.substr(65)) {
        if (ch < '0' || ch > '9') return false;
        length = length * 10 + static_cast<unsigned>(ch - '0');
    }
    Sha256Digest digest;
    if (length > size || !HashBytes(bytes, static_cast<size_t>(length), digest) ||
        !EqualIgnoringCase(DigestHex(digest), value.substr(0, 64)))
        return false;
    vouched = static_cast<size_t>(length);
    return true;
}

// Looks at the Uninstall keys below |rootName| whose InstallLocation is
// |dir| (as ComparableDirectory gives it) for the digest |hex| of the
// record's |size| bytes, or a journal value that vouches for their first
// |vouched| (a run that ended before it wrote its whole record: see
// record_journal.h); with kOtherDigest, |key| names the first of them.
Vouching DigestRegistered(const char* rootName, const std::string& dir, const std::string& hex, const uint8_t* bytes,
                          size_t size, std::string& key, size_t& vouched, bool& journal) {
    std::string keys = kUninstallKeys;
    keys.pop_back();
    RegKey uninstall;
    if (uninstall.Open(RegistryRootFromName(rootName), keys.c_str(), KEY_READ) != ERROR_SUCCESS)
        return Vouching::kNoKey;
    Vouching found = Vouching::kNoKey;
    std::string name;
    for (DWORD index = 0;; ++index) {
        const LONG result = EnumRegistryKey(uninstall.Get(), index, name);
        if (result == ERROR_MORE_DATA || result == ERROR_NO_UNICODE_TRANSLATION) continue;
        if (result != ERROR_SUCCESS) return found;
        RegKey product;
        if (product.Open(uninstall.Get(), name.c_str(), KEY_READ) != ERROR_SUCCESS ||
            !EqualIgnoringCase(ComparableDirectory(StringValue(product.Get(), "InstallLocation")), dir))
            continue;
        if (EqualIgnoringCase(StringValue(product.Get(), kRecordDigestValue), hex)) {
            vouched = size;
            journal = false;
            return Vouching::kVouched;
        }
        if (JournalVouches(StringValue(product.Get(), kRecordJournalValue), bytes, size, vouched)) {
            journal = true;
            return Vouching::kVouched;
        }
        if (found == Vouching::kNoKey) key = FormatText("%s\\%s\\%s", rootName, keys.c_str(), name.c_str());
        found = Vouching::kOtherDigest;
    }
}

// Reads the whole file |path|, of |size| bytes, into |bytes|; false when it
// cannot be read, holds another number of bytes, or there is no memory for
// it (|bytes| is null then).
bool ReadRecordFile(const std::string& path, size_t size, std::unique_ptr<uint8_t[]>& bytes) {
    bytes.reset(new (std::nothrow) uint8_t[size ? size : 1]);
    FilePtr file(OpenFile(path, "rb"));
    return bytes && file && std::fread(bytes.get(), 1, size, file.get()) == size && std::fgetc(file.get()) == EOF;
}

}  // namespace

RunResult LoadInstallRecord(const std::string& appDir, InstallRecord& record) {
    record = InstallRecord();
    const std::string path = InDir(appDir, kInstallRecordName);
    RunResult refused{RunOutcome::kRecordRefused, path};
    std::string& error = refused.detail;
    // Its size before it is read: no record is that large.
    unsigned long long fileSize = 0;
    if (!FileSizeOf(path, fileSize)) {
        refused.error = GetLastError();
        error = "cannot read " + path;
        return refused;
    }
    if (fileSize > kMaxInstallRecordSize) {
        error = FormatText("%s is larger than %u MB", path.c_str(), unsigned(kMaxInstallRecordSize >> 20));
        return refused;
    }
    // The digest before anything of the text is read: a record that the
    // registry does not vouch for may have been written by anyone.
    const size_t size = static_cast<size_t>(fileSize);
    std::unique_ptr<uint8_t[]> bytes;
    Sha256Digest digest;
    if (!ReadRecordFile(path, size, bytes) || !HashBytes(bytes.get(), size, digest)) {
        refused.error = GetLastError();
        error = bytes ? "cannot read " + path : "not enough memory to read " + path;
        return refused;
    }
    const std::string dir = ComparableDirectory(appDir), hex = DigestHex(digest);
    std::string key;
    size_t vouched = 0;
    bool journal = false;
    // HKCU is the user's own: it vouches for a per-user installation to an
    // uninstaller without an administrator's rights, never to one with them.
    Vouching vouching = DigestRegistered("HKEY_LOCAL_MACHINE", dir, hex, bytes.get(), size, key, vouched, journal);
    if (vouching == Vouching::kNoKey && !RunsElevated())
        vouching = DigestRegistered("HKEY_CURRENT_USER", dir, hex, bytes.get(), size, key, vouched, journal);
    if (vouching != Vouching::kVouched) {
        error = vouching == Vouching::kOtherDigest
                    ? FormatText("%s is not the record registered in %s", kInstallRecordName, key.c_str())
                    : "no Uninstall key in the registry is for " + appDir;
        return refused;
    }
    // A journal: what it vouched for, the lines written after that (by a run
    // that ended before it could vouch for them) left out.
    const std::string_view text(reinterpret_cast<const char*>(bytes.get()), vouched);
    RunResult parsed = journal ? ParseRecordJournal(text, record) : ParseInstallRecord(text, record);
    if (parsed.Failed()) parsed.path = path;
    return parsed;
}

namespace {

bool Missing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// The undo's side of the system: each kind's undo or rollback
// (engine/effects.cpp) calls these, last effect first.
class Undo : public EffectUndo {
public:
    // The uninstaller's undo of |record|, installed in |appDir|.
    Undo(const InstallRecord& record, const std::string& appDir, RunUi& ui, InstallLog& log,
         const std::string& uninstallerAside)
        : Undo(record, appDir, &ui, log) {
        m_uninstallerAside = uninstallerAside;
    }
    // A failed run's undo of its own |record|, with what it set aside; it asks nothing.
    Undo(const InstallRecord& record, const std::vector<SetAsideFile>& setAside, InstallLog& log)
        : Undo(record, std::string(), nullptr, log) {
        m_setAside = &setAside;
        m_asideLeft = setAside.size();
        m_failedRun = true;
    }

    RunResult Run() {
        for (auto it = m_record.effects.rbegin(); it != m_record.effects.rend(); ++it) {
            const EffectKindInfo& kind = KindInfo(it->kind);
            (m_failedRun ? kind.rollback : kind.undo)(*this, *it);
        }
        // Last what the installation left for the uninstaller itself (a
        // failed run left nothing of the kind, and its log stays).
        if (!m_failedRun) {
            RemoveFile(InDir(m_appDir, kInstallRecordName));
            RemoveFile(InDir(m_appDir, "SETUP.LOG"));
            RemoveUninstaller();
            if (!std::any_of(m_laterDirs.begin(), m_laterDirs.end(),
                             [this](const std::string& dir) { return EqualIgnoringCase(dir, m_appDir); }))
                m_laterDirs.push_back(m_appDir);
        }
        for (const std::string& dir : m_laterDirs) {
            if (RemoveDirectoryPath(dir))
                WriteLog(m_log, "Removed directory: %s", dir.c_str());
            else if (!Missing(GetLastError()))
                WriteLog(m_log, "Directory %s is not empty, kept", dir.c_str());
        }
        return m_stayed;
    }

private:
    Undo(const InstallRecord& record, const std::string& appDir, RunUi* ui, InstallLog& log)
        : m_record(record), m_appDir(appDir), m_ui(ui), m_log(log) {
        for (const Effect& effect : m_record.effects)
            if (effect.kind == EffectKind::kSharedCount) m_counted.push_back(&effect.path);
    }

    void Stayed(const std::string& what, DWORD error) { Stayed(RunResult(RunOutcome::kStayed, what, error)); }
    // Logs what stayed and adds it to the undo's result.
    void Stayed(const RunResult& stayed, const std::string& why = std::string()) {
        WriteLog(m_log, "Could not remove %s: %s", stayed.path.c_str(),
                 why.empty() ? FormatSystemError(stayed.error).c_str() : why.c_str());
        Count(stayed);
    }
    // Adds what stayed to the undo's result: the first thing that stayed
    // and its error, and every thing in the detail.
    void Count(const RunResult& stayed) {
        if (!m_stayed.Failed())
            m_stayed = stayed;
        else
            m_stayed.detail += "\n";
        m_stayed.detail += stayed.path;
    }

    // True, with the path logged and listed as staying, when |path| or a
    // directory on the way to it (from its drive down) is a link or a
    // junction: the files and folders of a destination that users may
    // change could have been replaced by one that leads elsewhere, where the
    // uninstaller, with an administrator's rights, must not delete or
    // restore anything (nor move a link into the system directory).
    bool ThroughLink(const std::string& path) {
        for (size_t at = path.find('\\', 3);; at = path.find('\\', at + 1)) {
            const std::string dir = path.substr(0, at);
            const DWORD attributes = PathAttributes(dir);
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                Stayed(RunResult(RunOutcome::kStayed, path, ERROR_CANT_ACCESS_FILE),
                       dir + " is a link or a junction, which is not followed");
                return true;
            }
            if (at == std::string::npos) return false;
        }
    }

    // Deletes a file: kGoingOn when it is gone (or was not there), else
    // kStayed with the error.
    RunResult TryRemove(const std::string& path) {
        SetPathAttributes(path, FILE_ATTRIBUTE_NORMAL);
        // (Through a handle of that very file: a link put on the way since
        // ThroughLink looked does not lead the deletion elsewhere.)
        if (DeleteFileNotThroughLink(path)) {
            WriteLog(m_log, "Removed: %s", path.c_str());
            return RunResult();
        }
        const DWORD error = GetLastError();
        return Missing(error) ? RunResult() : RunResult(RunOutcome::kStayed, path, error);
    }

    void RemoveFile(const std::string& path) override {
        if (ThroughLink(path)) return;
        const RunResult removed = TryRemove(path);
        if (removed.Failed())
            Stayed(removed, removed.error == ERROR_CANT_ACCESS_FILE
                                ? "it is reached through a link or a junction, which is not followed"
                                : std::string());
    }

    void RemoveEmptyDirectory(const std::string& path) override {
        if (ThroughLink(path)) return;
        RemoveStagedFiles(path);
        if (RemoveDirectoryPath(path)) {
            WriteLog(m_log, "Removed directory: %s", path.c_str());
        } else if (!Missing(GetLastError())) {
            // Not empty yet: the record, the log or the uninstaller may
            // still be in it. Tried again at the end.
            m_laterDirs.push_back(path);
        }
    }

    // A run killed part way may have left files it was writing, under the
    // temporary names of its own (IsStagedFileName), in a directory it made:
    // they go with it. (Never a link: deleting one under Wine deletes what it
    // leads to.)
    void RemoveStagedFiles(const std::string& dir) {
        std::vector<std::string> staged;
        for (FindFirst search(dir + "\\stg*.tmp"); search.Found();) {
            if (!(search.Attributes() & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
                IsStagedFileName(search.Name()))
                staged.push_back(dir + "\\" + search.Name());
            if (!search.Next()) break;
        }
        for (const std::string& file : staged) RemoveFile(file);
    }

    void MoveBack(const std::string& from, const std::string& to, const std::string& digest) override {
        if (ThroughLink(from) || ThroughLink(to)) return;
        if (digest.empty()) {
            // A record of an earlier version: the file goes back as it is.
            RemoveFile(to);
            if (MovePath(from, to))
                WriteLog(m_log, "Restored: %s from %s", to.c_str(), from.c_str());
            else
                Stayed(from, GetLastError());
            return;
        }
        // The bytes that were checked are the bytes put back: the saved file
        // is read once, and what becomes of it after that does not matter.
        std::vector<uint8_t> bytes;
        if (SavedDllDigest(from, &bytes) != digest) {
            const std::string why = from + " is not the DLL that was saved there, which is not put back";
            Stayed(RunResult(RunOutcome::kStayed, to, ERROR_FILE_INVALID), why);
            Stayed(RunResult(RunOutcome::kStayed, from, ERROR_FILE_INVALID), why);
            return;
        }
        const RunResult removed = TryRemove(to);
        StagedFile staged(to);
        if (removed.Failed()) {
            Stayed(removed);
            Stayed(from, removed.error);
            return;
        }
        if (!staged.Get() || std::fwrite(bytes.data(), 1, bytes.size(), staged.Get()) != bytes.size() ||
            !staged.Commit()) {
            Stayed(from, GetLastError());
            return;
        }
        WriteLog(m_log, "Restored: %s from %s", to.c_str(), from.c_str());
        RemoveFile(from);
    }

    void PutBack(const std::string& path) override {
        if (ThroughLink(path)) return;
        // The run kept aside each file it replaced, in the order of its
        // record: the undo, last first, takes them from the back.
        if (!m_asideLeft || !EqualIgnoringCase((*m_setAside)[m_asideLeft - 1].path, path)) {
            WriteLog(m_log, "Could not restore %s: it was not kept aside", path.c_str());
            return Count(RunResult(RunOutcome::kStayed, path));
        }
        const std::string& aside = (*m_setAside)[--m_asideLeft].aside;
        // (A copy, kept aside where a rename could not go, comes back as one.)
        if (MovePath(aside, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
            WriteLog(m_log, "Restored: %s", path.c_str());
            return;
        }
        const DWORD error = GetLastError();
        WriteLog(m_log, "Could not restore %s from %s (error %lu)", path.c_str(), aside.c_str(),
                 static_cast<unsigned long>(error));
        Count(RunResult(RunOutcome::kStayed, path, error));
    }

    void RemoveUninstaller() {
        const std::string path = InDir(m_appDir, kUninstallerName);
        RunResult removed = TryRemove(path);
        if (!removed.Failed()) return;
        // A running program cannot be deleted, but it can be moved away.
        if (!m_uninstallerAside.empty() &&
            MovePath(path, m_uninstallerAside, MOVEFILE_REPLACE_EXISTING)) {
            WriteLog(m_log, "Removed: %s (moved to %s while it runs)", path.c_str(), m_uninstallerAside.c_str());
            return;
        }
        if (!m_uninstallerAside.empty()) removed.error = GetLastError();
        Stayed(removed);
    }

    bool InAppDir(const std::string& path) const {
        const std::string prefix = m_appDir + "\\";
        return path.size() > prefix.size() && EqualIgnoringCase(path.substr(0, prefix.size()), prefix);
    }

    // Whether the record raised the shared count of |path|: asked for every
    // file, so only the few counted paths are looked through, not the record.
    bool Counted(const std::string& path) const override {
        for (const std::string* counted : m_counted)
            if (EqualIgnoringCase(*counted, path)) return true;
        return false;
    }

    bool Has(EffectKind kind, const std::string& path) const {
        for (const Effect& effect : m_record.effects)
            if (effect.kind == kind && EqualIgnoringCase(effect.path, path)) return true;
        return false;
    }

    void LowerSharedCount(const std::string& dll) override {
        const DWORD count = ReadSharedDllCount(dll.c_str());
        if (count == kNoSharedDllCount) return;
        if (count > 1) {
            if (WriteSharedDllCount(dll.c_str(), count - 1))
                WriteLog(m_log, "Shared count of %s lowered to %u", dll.c_str(), static_cast<unsigned>(count - 1));
            else
                Stayed("the shared count of " + dll, GetLastError());
            return;
        }
        if (!RemoveSharedDllCount(dll.c_str())) {
            Stayed("the shared count of " + dll, GetLastError());
            return;
        }
        WriteLog(m_log, "Shared count of %s removed", dll.c_str());
        // No program uses it any more. Only a DLL that an installation placed
        // new is removed; one that stood there before stays (restored from
        // Backup or kept).
        if (!Has(EffectKind::kFileNew, dll)) return;
        if (m_ui && !InAppDir(dll) &&
            !m_ui->ShowBox(RunBox::kDoubt,
                           "The shared file " + dll + " is no longer used by any program. Remove it?")) {
            WriteLog(m_log, "Shared file kept: %s", dll.c_str());
            return;
        }
        RemoveFile(dll);
    }

    void RemoveKeyWhenEmpty(const std::string& keyPath) override {
        DWORD subkeys = 0, values = 0;
        {
            RegKey key;
            LONG result = key.OpenPath(keyPath, KEY_READ);
            if (Missing(result)) return;
            if (result == ERROR_SUCCESS)
                result = RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                                          nullptr, nullptr, nullptr, nullptr);
            if (result != ERROR_SUCCESS) return Stayed(keyPath, result);
        }
        if (subkeys || values) {
            WriteLog(m_log, "Registry key %s is not empty, kept", keyPath.c_str());
            return;
        }
        const size_t slash = keyPath.rfind('\\');
        RegKey parent;
        LONG result = parent.OpenPath(keyPath.substr(0, slash), KEY_ALL_ACCESS);
        if (result == ERROR_SUCCESS) result = DeleteRegistryKey(parent.Get(), keyPath.substr(slash + 1).c_str());
        if (result == ERROR_SUCCESS)
            WriteLog(m_log, "Removed registry key: %s", keyPath.c_str());
        else if (!Missing(result))
            Stayed(keyPath, result);
    }

    void RestoreValue(const Effect& value) override {
        const std::string name = value.path + "\\" + value.other;
        RegKey key;
        LONG result = key.OpenPath(value.path, KEY_SET_VALUE);
        if (value.existed) {
            if (result == ERROR_SUCCESS)
                result = SetRegistryValue(key.Get(), value.other.c_str(), value.type, value.data.data(),
                                          static_cast<DWORD>(value.data.size()));
            if (result == ERROR_SUCCESS) return WriteLog(m_log, "Restored registry value: %s", name.c_str());
        } else {
            if (Missing(result)) return;
            if (result == ERROR_SUCCESS) result = DeleteRegistryValue(key.Get(), value.other.c_str());
            if (result == ERROR_SUCCESS) return WriteLog(m_log, "Removed registry value: %s", name.c_str());
            if (Missing(result)) return;
        }
        Stayed("the registry value " + name, result);
    }

    const InstallRecord& m_record;
    std::string m_appDir;
    RunUi* m_ui;  // null: nothing is asked
    InstallLog& m_log;
    std::string m_uninstallerAside;
    bool m_failedRun = false;                              // a failed run undoes itself: each kind's rollback
    const std::vector<SetAsideFile>* m_setAside = nullptr;  // what it kept aside, in order
    size_t m_asideLeft = 0;                                 // how many of them are not put back yet
    RunResult m_stayed;  // kGoingOn while everything is undone
    std::vector<std::string> m_laterDirs;  // directories still holding something when their turn came
    std::vector<const std::string*> m_counted;  // the paths of the record's shared counts
};

}  // namespace

RunResult UndoInstallation(const InstallRecord& record, const std::string& appDir, RunUi& ui, InstallLog& log,
                           const std::string& uninstallerAside) {
    return Undo(record, appDir, ui, log, uninstallerAside).Run();
}

RunResult UndoFailedRun(const InstallRecord& run, const std::vector<SetAsideFile>& setAside, InstallLog& log) {
    return Undo(run, setAside, log).Run();
}

std::vector<std::string> StayedItems(const RunResult& undone) {
    std::vector<std::string> items;
    if (!undone.Failed()) return items;
    for (size_t from = 0;;) {
        const size_t end = undone.detail.find('\n', from);
        items.push_back(undone.detail.substr(from, end - from));
        if (end == std::string::npos) return items;
        from = end + 1;
    }
}
