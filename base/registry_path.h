// Registry values named by one path text: a root name, key names and the
// value name joined by a separator character, for example
// "HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\ProgramFilesDir".
// The last part is always the value name (empty: the key's default value).
// The root is one of HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE
// and HKEY_USERS, in any case; any other first name fails.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

// Owns one open registry key and closes it when it goes.
class RegKey {
public:
    RegKey() = default;
    explicit RegKey(HKEY key) : m_hKey(key) {}
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    ~RegKey() { Close(); }

    // Opens |name| below |parent| for reading. ERROR_SUCCESS or the Win32 code.
    LONG Open(HKEY parent, const char* name, REGSAM access = KEY_READ);
    // Opens the key of a key path: a root name and the keys below it, joined
    // by backslashes ("HKEY_CURRENT_USER\Software\Example"); a root name
    // alone gives a handle of its own to the root key. ERROR_SUCCESS or the
    // Win32 code; ERROR_INVALID_PARAMETER for an unknown root name.
    LONG OpenPath(const std::string& keyPath, REGSAM access);
    // Opens or creates |name| below |parent| with full access, non-volatile,
    // default security. ERROR_SUCCESS or the Win32 code.
    LONG Create(HKEY parent, const char* name, const char* keyClass = nullptr);
    void Close();
    HKEY Get() const { return m_hKey; }

private:
    HKEY m_hKey = nullptr;
};

// The registry's calls by UTF-8 name, through the "W" functions: names are
// UTF-16 in the registry, and so is string data (REG_SZ, REG_EXPAND_SZ,
// REG_MULTI_SZ), which is UTF-8 here, its terminating zeros included as the
// size counts them; other data is handed on as it is. Each returns
// ERROR_SUCCESS or the Win32 code; ERROR_NO_UNICODE_TRANSLATION for a name
// or string data that does not convert exactly.
bool IsRegistryStringType(DWORD type);
LONG SetRegistryValue(HKEY key, const char* name, DWORD type, const void* data, DWORD size);
// |data| gets the value's bytes, string data in UTF-8 (as stored: its
// terminating zero, when it has one, is kept).
LONG QueryRegistryValue(HKEY key, const char* name, DWORD& type, std::string& data);
LONG DeleteRegistryValue(HKEY key, const char* name);
LONG DeleteRegistryKey(HKEY parent, const char* name);
// The name of the subkey |index| of |key| (ERROR_NO_MORE_ITEMS past the last).
LONG EnumRegistryKey(HKEY key, DWORD index, std::string& name);

// The predefined key of root |index| in kRegistryRootNames; null for any
// other index.
HKEY RegistryRootKey(int index);
// The predefined key named |name| (a root name in any case); null for any
// other name.
HKEY RegistryRootFromName(const char* name);

// How a walk gets from one level of the path to the next.
enum class RegistryWalk {
    kRead,    // open each key with KEY_READ
    kCreate,  // open or create each key with KEY_ALL_ACCESS
};

// Walks |path| level by level below |parent| (null: the path starts with a
// root name), then calls |atValue| with the deepest key and the value name.
// Each opened key is closed when the walk returns. False, without any
// registry call, when the separator is NUL, a root name is wrong or the path
// has no separator (a bare value name has no key); false when a key cannot be
// opened or created or |atValue| returns false.
bool WalkRegistryPath(const char* path, char sep, HKEY parent, RegistryWalk mode, const char* keyClass,
                      const std::function<bool(HKEY key, const char* valueName)>& atValue);

// Reads the value named by |path|: its data as stored (at most 260 bytes; a
// string in UTF-8, of at most 260 characters), with a zero added after it so the result is always a terminated string even
// when the stored data has none. Null on any failure, data longer than 260
// bytes included.
std::unique_ptr<char[]> ReadRegistryString(const char* path, char sep, HKEY parent = nullptr);
