#include "tools/mksetup/mksetup_files.h"

#include "data/ascii.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <utility>

#if defined(_WIN32)
#include <io.h>
#define unlink _unlink
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b) { return UpperAscii(a) == UpperAscii(b); }

}  // namespace

std::string TemporaryNameFor(const std::string& path) { return path + ".mksetup-tmp"; }

bool ReplaceFile(const std::string& temporary, const std::string& path) {
    std::error_code ec;
    // A folder is never replaced, empty or not: it is not ours to delete.
    const fs::file_type type = fs::status(path, ec).type();
    if (type == fs::file_type::not_found || (!ec && type != fs::file_type::directory)) {
        fs::rename(temporary, path, ec);
        if (ec) {
            // Some systems refuse to rename over an existing file.
            fs::remove(path, ec);
            fs::rename(temporary, path, ec);
        }
        if (!ec)
            return true;
    }
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return false;
}

bool WriteFileAtomically(const std::string& path, const uint8_t* data, size_t size) {
    const TemporaryFile temporary(TemporaryNameFor(path));
    std::FILE* out = std::fopen(temporary.Path().c_str(), "wb");
    if (!out)
        return false;
    const bool written = (size == 0 || std::fwrite(data, 1, size, out) == size) && std::fflush(out) == 0;
    if (std::fclose(out) != 0 || !written) {
        std::error_code ec;
        fs::remove(temporary.Path(), ec);
        return false;
    }
    return ReplaceFile(temporary.Path(), path);
}

namespace {

// The temporary file being written, for the signal handler: a fixed buffer,
// since a handler may not allocate; empty when there is none.
char g_temporary[4096];
volatile std::sig_atomic_t g_haveTemporary = 0;

extern "C" void RemoveTemporaryAndStop(int sig) {
    if (g_haveTemporary)
        unlink(g_temporary);
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

}  // namespace

TemporaryFile::TemporaryFile(std::string path) : m_path(std::move(path)) {
    g_haveTemporary = 0;
    if (m_path.size() < sizeof g_temporary) {
        std::memcpy(g_temporary, m_path.c_str(), m_path.size() + 1);
        g_haveTemporary = 1;
    }
}

TemporaryFile::~TemporaryFile() { g_haveTemporary = 0; }

void RemoveTemporaryFileOnInterrupt() {
    std::signal(SIGINT, RemoveTemporaryAndStop);
    std::signal(SIGTERM, RemoveTemporaryAndStop);
}

std::string FindFileIn(const std::string& folder, const std::string& name) {
    fs::path found = folder;
    std::string part;
    const std::string withEnd = name + '\\';
    for (char c : withEnd) {
        if (c != '\\' && c != '/') {
            part += c;
            continue;
        }
        if (part.empty())
            continue;
        std::error_code ec;
        if (fs::exists(found / part, ec)) {
            found /= part;
        } else {
            fs::path match;
            for (fs::directory_iterator it(found, ec), end; !ec && it != end; it.increment(ec)) {
                if (SameIgnoringCase(it->path().filename().string(), part)) {
                    match = it->path();
                    break;
                }
            }
            if (match.empty())
                return std::string();
            found = match;
        }
        part.clear();
    }
    std::error_code ec;
    return fs::is_regular_file(found, ec) ? found.string() : std::string();
}
