#include "base/registry_path.h"

#include "base/registry_roots.h"
#include "base/utf8.h"
#include "base/wide_text.h"

#include <cstring>
#include <string>

LONG RegKey::Open(HKEY parent, const char* name, REGSAM access) {
    Close();
    return RegOpenKeyExW(parent, Wide(name).c_str(), 0, access, &m_hKey);
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
    std::wstring wideClass = keyClass ? Wide(keyClass) : std::wstring();
    return RegCreateKeyExW(parent, Wide(name).c_str(), 0, keyClass ? &wideClass[0] : nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_ALL_ACCESS, nullptr, &m_hKey, nullptr);
}

void RegKey::Close() {
    if (m_hKey) RegCloseKey(m_hKey);
    m_hKey = nullptr;
}

bool IsRegistryStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

namespace {

// A name the program holds in UTF-16 (null: null, the default value); false
// when it is not UTF-8.
bool WideName(const char* name, std::wstring& wide) {
    return !name || Utf8ToUtf16(name, wide);
}

}  // namespace

LONG SetRegistryValue(HKEY key, const char* name, DWORD type, const void* data, DWORD size) {
    std::wstring wideName;
    if (!WideName(name, wideName)) return ERROR_NO_UNICODE_TRANSLATION;
    const wchar_t* valueName = name ? wideName.c_str() : nullptr;
    if (!IsRegistryStringType(type) || !data)
        return RegSetValueExW(key, valueName, 0, type, static_cast<const BYTE*>(data), size);
    Utf16String wide;
    if (!Utf8ToUtf16(std::string_view(static_cast<const char*>(data), size), wide)) return ERROR_NO_UNICODE_TRANSLATION;
    return RegSetValueExW(key, valueName, 0, type, reinterpret_cast<const BYTE*>(wide.data()),
                          static_cast<DWORD>(wide.size() * sizeof(wchar_t)));
}

LONG QueryRegistryValue(HKEY key, const char* name, DWORD& type, std::string& data) {
    std::wstring wideName;
    if (!WideName(name, wideName)) return ERROR_NO_UNICODE_TRANSLATION;
    const wchar_t* valueName = name ? wideName.c_str() : nullptr;
    std::string bytes;
    LONG result = ERROR_MORE_DATA;
    // The value may grow between the two calls: asked again with its new size.
    for (int attempt = 0; attempt < 4 && result == ERROR_MORE_DATA; ++attempt) {
        DWORD size = 0;
        result = RegQueryValueExW(key, valueName, nullptr, &type, nullptr, &size);
        if (result != ERROR_SUCCESS) return result;
        bytes.assign(size, '\0');
        result = RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(&bytes[0]), &size);
        bytes.resize(size);
    }
    if (result != ERROR_SUCCESS) return result;
    if (!IsRegistryStringType(type)) {
        data = bytes;
        return ERROR_SUCCESS;
    }
    // An odd last byte belongs to no UTF-16 unit.
    if (!Utf16ToUtf8(reinterpret_cast<const Utf16Char*>(bytes.data()), bytes.size() / sizeof(wchar_t), data))
        return ERROR_NO_UNICODE_TRANSLATION;
    return ERROR_SUCCESS;
}

LONG DeleteRegistryValue(HKEY key, const char* name) {
    std::wstring wideName;
    if (!WideName(name, wideName)) return ERROR_NO_UNICODE_TRANSLATION;
    return RegDeleteValueW(key, name ? wideName.c_str() : nullptr);
}

LONG DeleteRegistryKey(HKEY parent, const char* name) {
    std::wstring wideName;
    if (!name || !WideName(name, wideName)) return ERROR_NO_UNICODE_TRANSLATION;
    return RegDeleteKeyW(parent, wideName.c_str());
}

LONG EnumRegistryKey(HKEY key, DWORD index, std::string& name) {
    // A key name has at most 255 characters.
    wchar_t buffer[256];
    DWORD length = 256;
    const LONG result = RegEnumKeyExW(key, index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
    if (result != ERROR_SUCCESS) return result;
    return Utf16ToUtf8(buffer, length, name) ? ERROR_SUCCESS : ERROR_NO_UNICODE_TRANSLATION;
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
        DWORD type = 0;
        std::string data;
        if (QueryRegistryValue(key, valueName, type, data) != ERROR_SUCCESS ||
            (IsRegistryStringType(type) ? Utf8CharCount(data) : data.size()) > MAX_PATH)
            return false;
        result.reset(new char[data.size() + 1]);
        std::memcpy(result.get(), data.data(), data.size());
        result[data.size()] = '\0';
        return true;
    });
    return result;
}
