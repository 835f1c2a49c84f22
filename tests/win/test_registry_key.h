// A registry key of one test's own, HKEY_CURRENT_USER\Software\<name>-<pid>,
// removed with everything below it when the test ends.
#pragma once

#include <windows.h>
#include <shlwapi.h>

#include <string>

class TestRegistryKey {
public:
    explicit TestRegistryKey(const std::string& testName)
        : m_name("Software\\" + testName + "-" + std::to_string(GetCurrentProcessId())) {
        SHDeleteKeyA(HKEY_CURRENT_USER, m_name.c_str());
    }
    ~TestRegistryKey() { SHDeleteKeyA(HKEY_CURRENT_USER, m_name.c_str()); }
    TestRegistryKey(const TestRegistryKey&) = delete;
    TestRegistryKey& operator=(const TestRegistryKey&) = delete;

    // The key below HKEY_CURRENT_USER, e.g. "Software\\Test-42".
    const std::string& Name() const { return m_name; }

    void SetString(const std::string& sub, const std::string& value, const std::string& data) {
        Set(sub, value, REG_SZ, data.c_str(), data.size() + 1);
    }
    void SetBinary(const std::string& sub, const std::string& value, const std::string& data) {
        Set(sub, value, REG_BINARY, data.data(), data.size());
    }
    // Reads a value's type and bytes; false when it is missing.
    bool Get(const std::string& sub, const std::string& value, DWORD& type, std::string& data) const {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, (m_name + "\\" + sub).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        char buffer[4096];
        DWORD size = sizeof buffer;
        LONG rc = RegQueryValueExA(key, value.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
        RegCloseKey(key);
        if (rc != ERROR_SUCCESS) return false;
        data.assign(buffer, size);
        return true;
    }

private:
    void Set(const std::string& sub, const std::string& value, DWORD type, const void* data, size_t size) {
        HKEY key;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, (m_name + "\\" + sub).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr) != ERROR_SUCCESS)
            return;
        RegSetValueExA(key, value.c_str(), 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size));
        RegCloseKey(key);
    }

    std::string m_name;
};
