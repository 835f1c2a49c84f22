#include "data/staged_file.h"

#include "data/path_parts.h"

#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>

#include <cstdlib>
#include <vector>
#endif

namespace {

#ifdef _WIN32
const char kSeparators[] = "\\/:";

// A new, empty file of a unique name in |directory| (empty: the current
// directory; otherwise it ends with its separator); empty when none can be made.
std::string CreateTemporaryIn(const std::string& directory) {
    char path[MAX_PATH] = "";
    if (!GetTempFileNameA(directory.empty() ? "." : directory.c_str(), "stg", 0, path)) return std::string();
    return path;
}

bool RenameReplacing(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void RemoveFile(const std::string& path) { DeleteFileA(path.c_str()); }
#else
const char kSeparators[] = "/";

std::string CreateTemporaryIn(const std::string& directory) {
    const std::string pattern = (directory.empty() ? "./" : directory) + "stgXXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) return std::string();
    close(fd);
    return name.data();
}

bool RenameReplacing(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

void RemoveFile(const std::string& path) { std::remove(path.c_str()); }
#endif

}  // namespace

StagedFile::StagedFile(std::string dest) : m_dest(std::move(dest)) {
    m_temporary = CreateTemporaryIn(SplitPath(m_dest, kSeparators).directory);
    if (m_temporary.empty()) return;
    m_file.reset(std::fopen(m_temporary.c_str(), "wb"));
    if (!m_file) Discard();
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
