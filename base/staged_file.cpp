#include "base/staged_file.h"

#include "base/path_parts.h"

#include <algorithm>
#include <utility>

#ifdef _WIN32
#include "base/file_system.h"
#include "base/wide_text.h"

#include <windows.h>

#include <ntsecapi.h>

#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <cstdint>
#include <vector>
#else
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>
#endif

namespace {

#ifdef _WIN32
const char kSeparators[] = "\\/:";

// The number of a new temporary name, 32 bits from the system's random
// generator, so that no one can make the names beforehand (a name taken is
// skipped, but names made in advance by the thousand would stop the
// installation). Any thread may call it (the run's, and the one that writes
// payloads ahead). Should the generator fail, a counter started at the tick
// count stands in (atomic; a function-local static, made once).
unsigned NextTemporaryNumber() {
    unsigned value = 0;
    if (RtlGenRandom(&value, sizeof value)) return value;
    static std::atomic<unsigned> next{unsigned(GetTickCount())};
    return next.fetch_add(1);
}

// |value| in lower-case hexadecimal digits, without leading zeros.
std::string HexNumber(unsigned value) {
    std::string digits;
    do {
        digits.insert(digits.begin(), "0123456789abcdef"[value & 0xF]);
        value >>= 4;
    } while (value);
    return digits;
}

// A new file of a unique name |prefix|, up to eight hexadecimal digits,
// |suffix| ("stgXXXXXXXX.tmp") in |directory| (empty: the
// current directory; otherwise it ends with its separator), created and
// opened for writing in one call: GetTempFileName would create and close it,
// and the stream open it once more. Null when none can be made; otherwise
// |path| is its name.
std::FILE* CreateTemporaryIn(const std::string& directory, const std::string& prefix, const std::string& suffix,
                             std::string& path) {
    for (unsigned tries = 0; tries < 64; ++tries) {
        const std::string candidate = directory + prefix + HexNumber(NextTemporaryNumber()) + suffix;
        // DELETE: the complete file is renamed through this handle.
        const HANDLE handle =
            OpenPathHandle(candidate, GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE, CREATE_NEW);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
            return nullptr;
        }
        // The stream takes the handle over: closing it closes the handle.
        const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
        std::FILE* file = fd < 0 ? nullptr : _fdopen(fd, "wb");
        if (!file) {
            if (fd < 0)
                CloseHandle(handle);
            else
                _close(fd);
            DeletePath(candidate);
            return nullptr;
        }
        path = candidate;
        return file;
    }
    return nullptr;
}

bool RenameReplacing(const std::string& from, const std::string& to) {
    return MovePath(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

// SetFileInformationByHandle (Windows Vista and later; null before), looked
// up by the first thread that renames a file and only read afterwards (a
// function-local static: a second thread waits for the first one's look-up).
using SetInformation = BOOL(WINAPI*)(HANDLE, int, void*, DWORD);
SetInformation SetInformationFunction() {
    static const SetInformation function = reinterpret_cast<SetInformation>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetFileInformationByHandle")));
    return function;
}

// FILE_RENAME_INFO of SetFileInformationByHandle.
struct RenameInfo {
    union {
        BOOLEAN replaceIfExists;
        DWORD flags;
    };
    HANDLE rootDirectory;
    DWORD fileNameLength;  // in bytes
    WCHAR fileName[1];
};
constexpr int kFileRenameInfo = 3;

// Renames the open file |file| (its handle has DELETE access) to |to|,
// replacing a file of that name, through its own handle: MoveFileEx would
// open it again by its name for that, a round trip more per file under Wine.
// (Its write-through flag concerns only a move done as a copy, never this
// rename within one directory.) False when it cannot be done this way
// (before Windows Vista, a device path): the caller then closes the file and
// moves it by name.
bool RenameOpenFile(std::FILE* file, const std::string& to) {
    const SetInformation setInformation = SetInformationFunction();
    if (!setInformation) return false;

    // The NT name of the full path: \??\C:\dir\name or \??\UNC\server\share\name.
    std::string full;
    if (!FullPathOf(to, full)) return false;
    std::wstring name = Wide(full);
    if (name.compare(0, 2, L"\\\\") == 0) {
        if (name.size() > 2 && name[2] == L'.') return false;  // a device
        name = L"\\??\\UNC" + name.substr(1);
    } else {
        name = L"\\??\\" + name;
    }
    std::vector<char> buffer(sizeof(RenameInfo) + name.size() * sizeof(WCHAR));
    auto* info = reinterpret_cast<RenameInfo*>(buffer.data());
    info->replaceIfExists = TRUE;
    info->rootDirectory = nullptr;
    info->fileNameLength = DWORD(name.size() * sizeof(WCHAR));
    std::copy(name.begin(), name.end(), info->fileName);
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    return handle != INVALID_HANDLE_VALUE && setInformation(handle, kFileRenameInfo, info, DWORD(buffer.size()));
}

void RemoveFile(const std::string& path) { DeletePath(path); }

bool RenameAtRestart(const std::string& from, const std::string& to) {
    return MovePath(from, to, MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING);
}
#else
const char kSeparators[] = "/";

std::FILE* CreateTemporaryIn(const std::string& directory, const std::string& prefix, const std::string& suffix,
                             std::string& path) {
    const std::string pattern = (directory.empty() ? "./" : directory) + prefix + "XXXXXX" + suffix;
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemps(name.data(), int(suffix.size()));
    if (fd < 0) return nullptr;
    // mkstemp makes the file for its owner alone; the finished file gets the
    // mode any new file gets (as fopen would create it).
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    std::FILE* file = fdopen(fd, "wb");
    if (!file) {
        close(fd);
        std::remove(name.data());
        return nullptr;
    }
    path = name.data();
    return file;
}

bool RenameReplacing(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool RenameOpenFile(std::FILE*, const std::string&) { return false; }

void RemoveFile(const std::string& path) { std::remove(path.c_str()); }

bool RenameAtRestart(const std::string&, const std::string&) { return false; }
#endif

}  // namespace

StagedFile::StagedFile(std::string dest, const std::string& prefix, const std::string& suffix)
    : m_dest(std::move(dest)) {
    m_file.reset(CreateTemporaryIn(SplitPath(m_dest, kSeparators).directory, prefix, suffix, m_temporary));
}

StagedFile::~StagedFile() { Discard(); }

void StagedFile::Discard() {
    m_file.reset();
    if (!m_temporary.empty()) RemoveFile(m_temporary);
    m_temporary.clear();
}

bool StagedFile::Close() {
    if (!m_file) return false;
    const bool flushed = std::fflush(m_file.get()) == 0 && !std::ferror(m_file.get());
    if (std::fclose(m_file.release()) == 0 && flushed) return true;
    Discard();
    return false;
}

bool StagedFile::Commit(LaterClose* closer) {
    if (!m_file) {
        // Closed before, or never made (no temporary name then).
        if (!m_temporary.empty() && RenameReplacing(m_temporary, m_dest)) {
            m_temporary.clear();
            return true;
        }
        Discard();
        return false;
    }
    const bool flushed = std::fflush(m_file.get()) == 0 && !std::ferror(m_file.get());
    // Where the open file can be renamed, it is, once everything is written:
    // closing it then cannot lose data any more.
    if (flushed && RenameOpenFile(m_file.get(), m_dest)) {
        if (closer)
            closer->Close(m_file.release());
        else
            std::fclose(m_file.release());
        m_temporary.clear();
        return true;
    }
    const bool closed = std::fclose(m_file.release()) == 0;
    if (flushed && closed && RenameReplacing(m_temporary, m_dest)) {
        m_temporary.clear();
        return true;
    }
    Discard();
    return false;
}

bool StagedFile::CommitAtRestart(std::string& staged) {
    // (Closed before, or never made: no temporary name then.)
    if ((m_file && !Close()) || m_temporary.empty() || !RenameAtRestart(m_temporary, m_dest)) {
        Discard();
        return false;
    }
    staged = m_temporary;
    m_temporary.clear();
    return true;
}

std::FILE* StagedFile::PlaceOpen() {
    if (!m_file) return nullptr;
    if (RenameOpenFile(m_file.get(), m_dest)) {
        m_temporary.clear();
        return m_file.release();
    }
    // Where an open file cannot be renamed through its handle: closed,
    // renamed by name, opened again.
    if (std::fclose(m_file.release()) != 0 || !RenameReplacing(m_temporary, m_dest)) {
        Discard();
        return nullptr;
    }
    m_temporary.clear();
    return OpenFile(m_dest, "ab");
}

bool CopyFileStaged(const std::string& from, const std::string& to) {
    FilePtr in(OpenFile(from, "rb"));
    if (!in) return false;
    FileRange whole;
    whole.file = in.get();
    return CopyRangeStaged(whole, to);
}

bool CopyRangeStaged(const FileRange& from, const std::string& to) {
    RangeReader in(from);
    if (!in.Start()) return false;
    StagedFile out(to);
    if (!out.Get()) return false;
    uint8_t buffer[32768];
    uint64_t copied = 0;
    size_t got;
    while ((got = in.Read(buffer, sizeof buffer)) > 0) {
        if (std::fwrite(buffer, 1, got, out.Get()) != got) return false;
        copied += got;
    }
    const bool whole = from.size == FileRange::kToTheEnd || copied == from.size;
    return !in.Failed() && whole && out.Commit();
}

bool WriteFileStaged(const std::string& to, const std::string& bytes) {
    StagedFile out(to);
    return out.Get() && std::fwrite(bytes.data(), 1, bytes.size(), out.Get()) == bytes.size() && out.Commit();
}

bool IsStagedFileName(const std::string& name) {
    if (name.size() < 8 || name.size() > 15 || name.compare(0, 3, "stg") != 0 ||
        name.compare(name.size() - 4, 4, ".tmp") != 0)
        return false;
    return std::all_of(name.begin() + 3, name.end() - 4,
                       [](char ch) { return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f'); });
}
