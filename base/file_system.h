// The file system as the program uses it, by UTF-8 path: each function is
// the Windows "W" function of the same purpose, given the path through
// WidePath (so a path past MAX_PATH takes the \\?\ form), with the result
// and GetLastError of that function. (Windows only; streams: base/file_io.h.)
#pragma once

#include <windows.h>

#include <string>

// GetFileAttributesW: INVALID_FILE_ATTRIBUTES when there is nothing there.
DWORD PathAttributes(const std::string& path);
// The size of the file |path| (GetFileAttributesExW); false when it cannot be read.
bool FileSizeOf(const std::string& path, unsigned long long& size);
// SetFileAttributesW.
bool SetPathAttributes(const std::string& path, DWORD attributes);
// DeleteFileW.
bool DeletePath(const std::string& path);
// Deletes the file |path| only if neither it nor a directory on the way to
// it (from the drive down) is a link or a junction: each is opened without
// following it (FILE_FLAG_OPEN_REPARSE_POINT) and held open, so that none can
// be renamed or replaced by a link meanwhile, and the file is deleted through
// its own handle (before Windows Vista, by name). False with
// ERROR_CANT_ACCESS_FILE when a link is on the way, else with the error.
bool DeleteFileNotThroughLink(const std::string& path);
// MoveFileExW with |flags| (0: as MoveFile, which never replaces a file).
bool MovePath(const std::string& from, const std::string& to, DWORD flags = 0);
// MoveFileExW(path, null, MOVEFILE_DELAY_UNTIL_REBOOT): deleted at the next restart.
bool DeleteAtRestart(const std::string& path);
// CopyFileW.
bool CopyPath(const std::string& from, const std::string& to, bool failIfExists);
// CreateDirectoryW with |security| (null: the default).
bool MakeDirectory(const std::string& path, SECURITY_ATTRIBUTES* security = nullptr);
// RemoveDirectoryW.
bool RemoveDirectoryPath(const std::string& path);
// CreateFileW.
HANDLE OpenPathHandle(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                      DWORD flags = FILE_ATTRIBUTE_NORMAL);
// The full path (GetFullPathNameW) and the same with long names
// (GetLongPathNameW, of a path that exists); false when the system cannot
// give it.
bool FullPathOf(const std::string& path, std::string& full);
bool LongPathOf(const std::string& path, std::string& longer);

// One find-first search of the file system, closed when it goes: the first
// entry that matches (a file or a directory; wildcards match as patterns),
// then the next ones.
class FindFirst {
public:
    explicit FindFirst(const std::string& path);
    ~FindFirst();
    FindFirst(const FindFirst&) = delete;
    FindFirst& operator=(const FindFirst&) = delete;

    bool Found() const { return m_handle != INVALID_HANDLE_VALUE; }
    bool IsDirectory() const { return Found() && (m_data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY); }
    DWORD Attributes() const { return m_data.dwFileAttributes; }
    // The entry's name; empty for one that is not UTF-16 (no path made of it
    // would name it).
    std::string Name() const;
    // Goes on to the next entry; false when there is none.
    bool Next();

private:
    WIN32_FIND_DATAW m_data = {};
    HANDLE m_handle;
};
