#include "engine/registry_values.h"

#include "base/registry_path.h"
#include "base/registry_roots.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// The key that holds the shared-DLL counts, as a path text whose empty last
// part stands for the value name: the walk opens the keys, the caller names
// the value (a DLL path full of backslashes, so it cannot be part of the text).
const char kSharedDllsKey[] = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs\\";

bool SetValue(HKEY key, const char* valueName, DWORD type, const void* data, DWORD size) {
    return SetRegistryValue(key, valueName, type, data, size) == ERROR_SUCCESS;
}

// The keys on the way to a value that do not exist yet, and the value as it
// is, read before it is written so the uninstaller can put things back.
struct ValueBefore {
    bool known = false;                  // the path names a root, keys and a value
    std::vector<std::string> missingKeys;  // root and keys joined by backslashes, top down
    Effect value;                        // kRegistryValue with its previous state
};

ValueBefore ReadValueBefore(const char* path, char sep) {
    ValueBefore before;
    RegistryPathParts parts;
    if (SplitRegistryPath(path, sep, true, parts) != RegistryPathFault::kNone) return before;
    before.known = true;
    before.value.kind = EffectKind::kRegistryValue;
    before.value.other = parts.valueName;
    std::string keyPath = kRegistryRootNames[parts.root];
    std::vector<std::unique_ptr<RegKey>> open;
    HKEY current = RegistryRootKey(parts.root);
    for (const std::string& name : parts.keys) {
        keyPath += "\\" + name;
        if (current) {
            auto key = std::make_unique<RegKey>();
            current = key->Open(current, name.c_str()) == ERROR_SUCCESS ? key->Get() : nullptr;
            open.push_back(std::move(key));
        }
        if (!current) before.missingKeys.push_back(keyPath);
    }
    before.value.path = keyPath;
    DWORD type = 0;
    std::string data;
    if (current && QueryRegistryValue(current, before.value.other.c_str(), type, data) == ERROR_SUCCESS) {
        before.value.existed = true;
        before.value.type = type;
        before.value.data = data;
    }
    return before;
}

// WriteRegistryValue from a root, noting first what it replaces, and
// recording the keys it created and the value once it is set.
BOOL WriteRecordedValue(const char* path, const void* data, DWORD size, DWORD type, char sep,
                        InstallRecord& record) {
    if (!path) return FALSE;
    const ValueBefore before = ReadValueBefore(path, sep);
    if (!WriteRegistryValue(path, data, size, type, sep)) return FALSE;
    if (before.known) {
        for (const std::string& key : before.missingKeys) record.Add(EffectKind::kRegistryKey, key);
        record.Add(before.value);
    }
    return TRUE;
}

}  // namespace

BOOL RemoveRegistryValue(const char* path, char sep, InstallRecord& record) {
    const ValueBefore before = path ? ReadValueBefore(path, sep) : ValueBefore();
    if (!before.known) return FALSE;
    if (!before.value.existed) return TRUE;
    RegKey key;
    LONG result = key.OpenPath(before.value.path, KEY_SET_VALUE);
    if (result == ERROR_SUCCESS) result = DeleteRegistryValue(key.Get(), before.value.other.c_str());
    if (result != ERROR_SUCCESS) return FALSE;
    record.Add(before.value);
    return TRUE;
}

BOOL WriteRegistryValue(const char* path, const void* data, DWORD size, DWORD type, char sep, HKEY parent) {
    if (!path) return FALSE;
    auto setValue = [&](HKEY key, const char* valueName) { return SetValue(key, valueName, type, data, size); };
    return WalkRegistryPath(path, sep, parent, RegistryWalk::kCreate, nullptr, setValue) ? TRUE : FALSE;
}

BOOL WriteRegistryDword(const char* path, DWORD value, char sep, InstallRecord& record) {
    return WriteRecordedValue(path, &value, sizeof value, REG_DWORD, sep, record);
}

BOOL WriteRegistryString(const char* path, const char* value, char sep, InstallRecord& record) {
    if (!value) return FALSE;
    return WriteRecordedValue(path, value, static_cast<DWORD>(std::strlen(value) + 1), REG_SZ, sep, record);
}

DWORD ReadSharedDllCount(const char* dllPath) {
    DWORD count = kNoSharedDllCount;
    if (!dllPath) return count;
    WalkRegistryPath(kSharedDllsKey, '\\', nullptr, RegistryWalk::kRead, nullptr, [&](HKEY key, const char*) {
        // Only a value of exactly 4 bytes is a count: a longer one leaves the
        // buffer undefined, a shorter one would fill it only in part.
        DWORD type = 0;
        std::string stored;
        if (QueryRegistryValue(key, dllPath, type, stored) == ERROR_SUCCESS && !IsRegistryStringType(type) &&
            stored.size() == sizeof count)
            std::memcpy(&count, stored.data(), sizeof count);
        return true;
    });
    return count;
}

BOOL WriteSharedDllCount(const char* dllPath, DWORD count) {
    // A null name would be the key's default value, which is no DLL's count.
    if (!dllPath) return FALSE;
    auto setCount = [&](HKEY key, const char*) { return SetValue(key, dllPath, REG_DWORD, &count, sizeof count); };
    return WalkRegistryPath(kSharedDllsKey, '\\', nullptr, RegistryWalk::kCreate, nullptr, setCount) ? TRUE : FALSE;
}

BOOL RemoveSharedDllCount(const char* dllPath) {
    if (!dllPath) return FALSE;
    RegKey key;
    // The key text without the root name and its closing backslash.
    std::string keys(kSharedDllsKey + std::strlen("HKEY_LOCAL_MACHINE\\"));
    keys.pop_back();
    const LONG opened = key.Open(HKEY_LOCAL_MACHINE, keys.c_str(), KEY_SET_VALUE);
    if (opened == ERROR_FILE_NOT_FOUND) return TRUE;
    if (opened != ERROR_SUCCESS) return FALSE;
    const LONG deleted = DeleteRegistryValue(key.Get(), dllPath);
    return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND ? TRUE : FALSE;
}

BOOL IncrementSharedDllCount(const char* dllPath, InstallRecord& record) {
    DWORD count = ReadSharedDllCount(dllPath);
    if (!WriteSharedDllCount(dllPath, count == kNoSharedDllCount ? 1 : count + 1)) return FALSE;
    record.Add(EffectKind::kSharedCount, dllPath);
    return TRUE;
}
