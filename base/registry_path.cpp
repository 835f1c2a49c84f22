#include "base/registry_path.h"

#include "base/registry_roots.h"

#include <cstring>
#include <string>

LONG RegKey::Open(HKEY parent, const char* name, REGSAM access) {
    Close();
    return RegOpenKeyExA(parent, name, 0, access, &m_hKey);
}

LONG RegKey::OpenPath(const std::string& keyPath, REGSAM access) {
    const size_t slash = keyPath.find('\\');
    const HKEY root = RegistryRootFromName(keyPath.substr(0, slash).c_str());
    if (!root) {
        Close();
        return ERROR_INVALID_PARAMETER;
    }
    return Open(root, slash == std::string::npos ? "" : keyPath.c_str() + slash + 1, access);
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

HKEY RegistryRootKey(int index) {
    static const HKEY kRoots[kRegistryRootCount] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE,
                                                    HKEY_USERS};
    return index >= 0 && index < kRegistryRootCount ? kRoots[index] : nullptr;
}

HKEY RegistryRootFromName(const char* name) { return RegistryRootKey(RegistryRootIndex(name)); }

bool WalkRegistryPath(const char* path, char sep, HKEY parent, RegistryWalk mode, const char* keyClass,
                      const std::function<bool(HKEY key, const char* valueName)>& atValue) {
    RegistryPathParts parts;
    if (SplitRegistryPath(path, sep, parent == nullptr, parts) != RegistryPathFault::kNone) return false;
    HKEY current = parent ? parent : RegistryRootKey(parts.root);
    // An array closes its keys in reverse order, the deepest first.
    std::unique_ptr<RegKey[]> opened(new RegKey[parts.keys.size()]);
    for (size_t i = 0; i < parts.keys.size(); ++i) {
        const char* name = parts.keys[i].c_str();
        LONG rc = mode == RegistryWalk::kRead ? opened[i].Open(current, name)
                                              : opened[i].Create(current, name, keyClass);
        if (rc != ERROR_SUCCESS) return false;
        current = opened[i].Get();
    }
    return atValue(current, parts.valueName.c_str());
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
