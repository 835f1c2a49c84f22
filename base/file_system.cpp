#include "base/file_system.h"

#include "base/wide_text.h"

#include <vector>

DWORD PathAttributes(const std::string& path) { return GetFileAttributesW(WidePath(path).c_str()); }

bool FileSizeOf(const std::string& path, unsigned long long& size) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, &data)) return false;
    size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

bool SetPathAttributes(const std::string& path, DWORD attributes) {
    return SetFileAttributesW(WidePath(path).c_str(), attributes) != 0;
}

bool DeletePath(const std::string& path) { return DeleteFileW(WidePath(path).c_str()) != 0; }

bool MovePath(const std::string& from, const std::string& to, DWORD flags) {
    return MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(), flags) != 0;
}

bool DeleteAtRestart(const std::string& path) {
    return MoveFileExW(WidePath(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

bool CopyPath(const std::string& from, const std::string& to, bool failIfExists) {
    return CopyFileW(WidePath(from).c_str(), WidePath(to).c_str(), failIfExists) != 0;
}

bool MakeDirectory(const std::string& path, SECURITY_ATTRIBUTES* security) {
    return CreateDirectoryW(WidePath(path).c_str(), security) != 0;
}

bool RemoveDirectoryPath(const std::string& path) { return RemoveDirectoryW(WidePath(path).c_str()) != 0; }

HANDLE OpenPathHandle(const std::string& path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
    return CreateFileW(WidePath(path).c_str(), access, share, nullptr, disposition, flags, nullptr);
}

namespace {

// What |ask| writes for |path| into a buffer of the size it asks for.
template <typename Ask>
bool AskForPath(const std::string& path, std::string& out, Ask ask) {
    const std::wstring wide = WidePath(path);
    std::vector<wchar_t> buffer(MAX_PATH);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const DWORD length = ask(wide.c_str(), buffer.data(), DWORD(buffer.size()));
        if (length == 0) return false;
        if (length < buffer.size()) {
            std::wstring result(buffer.data(), length);
            // What the system gives back in the \\?\ form the program gave it.
            if (result.compare(0, 8, L"\\\\?\\UNC\\") == 0)
                result = L"\\" + result.substr(7);
            else if (result.compare(0, 4, L"\\\\?\\") == 0)
                result = result.substr(4);
            out = Narrow(result);
            return !out.empty();
        }
        buffer.resize(length + 1);
    }
    return false;
}

}  // namespace

bool FullPathOf(const std::string& path, std::string& full) {
    return AskForPath(path, full, [](const wchar_t* wide, wchar_t* buffer, DWORD size) {
        return GetFullPathNameW(wide, size, buffer, nullptr);
    });
}

bool LongPathOf(const std::string& path, std::string& longer) {
    return AskForPath(path, longer,
                      [](const wchar_t* wide, wchar_t* buffer, DWORD size) { return GetLongPathNameW(wide, buffer, size); });
}

FindFirst::FindFirst(const std::string& path) : m_handle(FindFirstFileW(WidePath(path).c_str(), &m_data)) {}

FindFirst::~FindFirst() {
    if (Found()) FindClose(m_handle);
}

std::string FindFirst::Name() const { return Narrow(m_data.cFileName, wcslen(m_data.cFileName)); }

bool FindFirst::Next() { return Found() && FindNextFileW(m_handle, &m_data); }
