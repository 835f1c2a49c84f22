#include "data/staged_file.h"

#include "data/path_parts.h"

#include <utility>

#ifdef _WIN32
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdint>
#else
#include <unistd.h>

#include <cstdlib>
#include <vector>
#endif

namespace {

#ifdef _WIN32
const char kSeparators[] = "\\/:";

// A new file of a unique name "stgXXXX.tmp" (as GetTempFileName names them)
// in |directory| (empty: the current directory; otherwise it ends with its
// separator), created and opened for writing in one call: GetTempFileName
// would create and close it, and the stream open it once more. Null when
// none can be made; otherwise |path| is its name.
std::FILE* CreateTemporaryIn(const std::string& directory, std::string& path) {
    static unsigned s_next = GetTickCount();  // where the names start, as GetTempFileName starts them
    for (unsigned tries = 0; tries < 0x10000; ++tries) {
        char name[16];
        std::snprintf(name, sizeof name, "stg%x.tmp", s_next++ & 0xFFFFu);
        const std::string candidate = directory + name;
        const HANDLE handle = CreateFileA(candidate.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
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
            DeleteFileA(candidate.c_str());
            return nullptr;
        }
        path = candidate;
        return file;
    }
    return nullptr;
}

bool RenameReplacing(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void RemoveFile(const std::string& path) { DeleteFileA(path.c_str()); }
#else
const char kSeparators[] = "/";

std::FILE* CreateTemporaryIn(const std::string& directory, std::string& path) {
    const std::string pattern = (directory.empty() ? "./" : directory) + "stgXXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) return nullptr;
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

void RemoveFile(const std::string& path) { std::remove(path.c_str()); }
#endif

}  // namespace

StagedFile::StagedFile(std::string dest) : m_dest(std::move(dest)) {
    m_file.reset(CreateTemporaryIn(SplitPath(m_dest, kSeparators).directory, m_temporary));
}

StagedFile::~StagedFile() { Discard(); }

void StagedFile::Discard() {
    m_file.reset();
    if (!m_temporary.empty()) RemoveFile(m_temporary);
    m_temporary.clear();
}

bool StagedFile::Commit() {
    if (!m_file) return false;
    const bool flushed = std::fflush(m_file.get()) == 0 && !std::ferror(m_file.get());
    const bool closed = std::fclose(m_file.release()) == 0;
    if (flushed && closed && RenameReplacing(m_temporary, m_dest)) {
        m_temporary.clear();
        return true;
    }
    Discard();
    return false;
}

bool CopyFileStaged(const std::string& from, const std::string& to) {
    FilePtr in(std::fopen(from.c_str(), "rb"));
    if (!in) return false;
    StagedFile out(to);
    if (!out.Get()) return false;
    char buffer[32768];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, in.get())) > 0)
        if (std::fwrite(buffer, 1, got, out.Get()) != got) return false;
    return !std::ferror(in.get()) && out.Commit();
}
