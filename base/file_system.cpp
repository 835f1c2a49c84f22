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

// The path |asked| as the system gives it back, without the \\?\ form the
// program gave it in.
bool PathFromSystem(bool asked, std::wstring& wide, std::string& out) {
    if (!asked) return false;
    if (wide.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        wide.erase(0, 6)[0] = L'\\';
    else if (wide.compare(0, 4, L"\\\\?\\") == 0)
        wide.erase(0, 4);
    out = Narrow(wide);
    return !out.empty();
}

}  // namespace

bool FullPathOf(const std::string& path, std::string& full) {
    const std::wstring wide = WidePath(path);
    std::wstring result;
    const bool asked = AskWide(
        [](const void* asked, wchar_t* buffer, unsigned long room) -> unsigned long {
            return GetFullPathNameW(static_cast<const std::wstring*>(asked)->c_str(), room, buffer, nullptr);
        },
        &wide, result);
    return PathFromSystem(asked, result, full);
}

bool LongPathOf(const std::string& path, std::string& longer) {
    const std::wstring wide = WidePath(path);
    std::wstring result;
    const bool asked = AskWide(
        [](const void* asked, wchar_t* buffer, unsigned long room) -> unsigned long {
            return GetLongPathNameW(static_cast<const std::wstring*>(asked)->c_str(), buffer, room);
        },
        &wide, result);
    return PathFromSystem(asked, result, longer);
}

namespace {

// SetFileInformationByHandle (Windows Vista and later; null before), looked
// up once (a function-local static).
using SetInformationByHandle = BOOL(WINAPI*)(HANDLE, int, void*, DWORD);
constexpr int kFileDispositionInfo = 4;

// Opens |path| without following it should it be a link (and without
// letting others delete or rename it while the handle is open); false, with
// ERROR_CANT_ACCESS_FILE, when it is a link or a junction (or, with
// |directory| false, a directory).
bool OpenNotALink(const std::string& path, bool directory, DWORD access, HANDLE& handle) {
    handle = OpenPathHandle(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                            FILE_FLAG_OPEN_REPARSE_POINT | (directory ? FILE_FLAG_BACKUP_SEMANTICS : 0));
    if (handle == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION information = {};
    if (GetFileInformationByHandle(handle, &information) &&
        !(information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
        (directory || !(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)))
        return true;
    CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
    SetLastError(ERROR_CANT_ACCESS_FILE);
    return false;
}

}  // namespace

bool DeleteFileNotThroughLink(const std::string& path) {
    static const SetInformationByHandle setInformation = reinterpret_cast<SetInformationByHandle>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetFileInformationByHandle")));
    // Every directory on the way, from the drive down, held open as it is
    // (none can be renamed or replaced meanwhile), then the file itself.
    std::vector<HANDLE> held;
    bool deleted = false;
    DWORD error = 0;
    for (size_t at = path.find('\\', 3);; at = path.find('\\', at + 1)) {
        HANDLE handle;
        const bool last = at == std::string::npos;
        if (!OpenNotALink(path.substr(0, at), !last, last ? DELETE | FILE_READ_ATTRIBUTES : FILE_READ_ATTRIBUTES,
                          handle)) {
            error = GetLastError();
            break;
        }
        held.push_back(handle);
        if (!last) continue;
        if (setInformation) {
            BOOLEAN remove = TRUE;
            deleted = setInformation(handle, kFileDispositionInfo, &remove, sizeof remove) != 0;
        } else {
            // (Before Windows Vista: by name, the file checked a moment ago.)
            CloseHandle(handle);
            held.pop_back();
            deleted = DeletePath(path);
        }
        if (!deleted) error = GetLastError();
        break;
    }
    for (HANDLE handle : held) CloseHandle(handle);
    if (!deleted) SetLastError(error);
    return deleted;
}

FindFirst::FindFirst(const std::string& path) : m_handle(FindFirstFileW(WidePath(path).c_str(), &m_data)) {}

FindFirst::~FindFirst() {
    if (Found()) FindClose(m_handle);
}

std::string FindFirst::Name() const { return Narrow(m_data.cFileName, wcslen(m_data.cFileName)); }

bool FindFirst::Next() { return Found() && FindNextFileW(m_handle, &m_data); }
