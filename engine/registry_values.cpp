#include "engine/registry_values.h"

#include "data/registry_path.h"

#include <cstring>

namespace {

// The key that holds the shared-DLL counts, as a path text whose empty last
// part stands for the value name: the walk opens the keys, the caller names
// the value (a DLL path full of backslashes, so it cannot be part of the text).
const char kSharedDllsKey[] = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs\\";

bool SetValue(HKEY key, const char* valueName, DWORD type, const void* data, DWORD size) {
    return RegSetValueExA(key, valueName, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

}  // namespace

BOOL WriteRegistryValue(const char* path, const void* data, DWORD size, const char* keyClass, DWORD type, char sep,
                        HKEY parent) {
    if (!path) return FALSE;
    auto setValue = [&](HKEY key, const char* valueName) { return SetValue(key, valueName, type, data, size); };
    return WalkRegistryPath(path, sep, parent, RegistryWalk::kCreate, keyClass, setValue) ? TRUE : FALSE;
}

BOOL WriteRegistryDword(const char* path, DWORD value, char sep) {
    return WriteRegistryValue(path, &value, sizeof value, nullptr, REG_DWORD, sep);
}

BOOL WriteRegistryString(const char* path, const char* value, char sep) {
    if (!value) return FALSE;
    return WriteRegistryValue(path, value, static_cast<DWORD>(std::strlen(value) + 1), nullptr, REG_SZ, sep);
}

DWORD ReadSharedDllCount(const char* dllPath) {
    DWORD count = kNoSharedDllCount;
    if (!dllPath) return count;
    WalkRegistryPath(kSharedDllsKey, '\\', nullptr, RegistryWalk::kRead, nullptr, [&](HKEY key, const char*) {
        // Only a value of exactly 4 bytes is a count: a longer one leaves the
        // buffer undefined, a shorter one would fill it only in part.
        DWORD stored = 0;
        DWORD size = sizeof stored;
        if (RegQueryValueExA(key, dllPath, nullptr, nullptr, reinterpret_cast<BYTE*>(&stored), &size) ==
                ERROR_SUCCESS &&
            size == sizeof stored)
            count = stored;
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

void IncrementSharedDllCount(const char* dllPath) {
    DWORD count = ReadSharedDllCount(dllPath);
    WriteSharedDllCount(dllPath, count == kNoSharedDllCount ? 1 : count + 1);
}
