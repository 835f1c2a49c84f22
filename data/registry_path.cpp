#include "data/registry_path.h"

#include "data/registry_roots.h"

#include <cstring>
#include <string>

LONG RegKey::Open(HKEY parent, const char* name, REGSAM access) {
    Close();
    return RegOpenKeyExA(parent, name, 0, access, &m_hKey);
}

LONG RegKey::Create(HKEY parent, const char* name, const char* keyClass) {
    Close();
    return RegCreateKeyExA(parent, name, 0, const_cast<char*>(keyClass), REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                           nullptr, &m_hKey, nullptr);
}

void RegKey::Close() {
    if (m_hKey) RegCloseKey(m_hKey);
    m_hKey = nullptr;
}

HKEY RegistryRootFromName(const char* name) {
    static const HKEY kRoots[kRegistryRootCount] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE,
                                                    HKEY_USERS};
    int index = RegistryRootIndex(name);
    return index < 0 ? nullptr : kRoots[index];
}

bool WalkRegistryPath(const char* path, char sep, HKEY parent, RegistryWalk mode, const char* keyClass,
                      const std::function<bool(HKEY key, const char* valueName)>& atValue) {
    const char* end = std::strchr(path, sep);
    if (!end) return parent != nullptr && atValue(parent, path);

    std::string name(path, end);
    if (!parent) {
        HKEY root = RegistryRootFromName(name.c_str());
        return root != nullptr && WalkRegistryPath(end + 1, sep, root, mode, keyClass, atValue);
    }
    RegKey key;
    LONG rc = mode == RegistryWalk::kRead ? key.Open(parent, name.c_str()) : key.Create(parent, name.c_str(), keyClass);
    if (rc != ERROR_SUCCESS) return false;
    return WalkRegistryPath(end + 1, sep, key.Get(), mode, keyClass, atValue);
}

std::unique_ptr<char[]> ReadRegistryString(const char* path, char sep, HKEY parent) {
    std::unique_ptr<char[]> result;
    WalkRegistryPath(path, sep, parent, RegistryWalk::kRead, nullptr, [&](HKEY key, const char* valueName) {
        BYTE data[MAX_PATH];
        DWORD size = sizeof data;
        if (RegQueryValueExA(key, valueName, nullptr, nullptr, data, &size) != ERROR_SUCCESS) return false;
        result.reset(new char[size + 1]);
        std::memcpy(result.get(), data, size);
        result[size] = '\0';
        return true;
    });
    return result;
}
