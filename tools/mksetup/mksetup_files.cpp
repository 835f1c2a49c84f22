#include "tools/mksetup/mksetup_files.h"

#include "base/ascii.h"

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

namespace {

// Holds SIGINT and SIGTERM back for its lifetime (where signals can be held),
// so that a temporary file is never there unnamed for the handler.
class InterruptsHeld {
public:
#if defined(_WIN32)
    // A console's Ctrl+C reaches the handler on a thread of its own: nothing to hold.
    InterruptsHeld() {}
    ~InterruptsHeld() {}
#else
    InterruptsHeld() {
        sigset_t held;
        sigemptyset(&held);
        sigaddset(&held, SIGINT);
        sigaddset(&held, SIGTERM);
        sigprocmask(SIG_BLOCK, &held, &m_saved);
    }
    ~InterruptsHeld() { sigprocmask(SIG_SETMASK, &m_saved, nullptr); }

private:
    sigset_t m_saved;
#endif
};

}  // namespace

ToolStagedFile::ToolStagedFile(const std::string& path, const std::string& suffix) {
    const InterruptsHeld held;
    m_file.emplace(path, Utf8Of(FsPath(path).filename()) + ".mksetup-tmp", suffix);
    if (m_file->Get())
        m_named.emplace(m_file->TemporaryPath());
}

ToolStagedFile::~ToolStagedFile() {
    const InterruptsHeld held;
    m_file.reset();
    m_named.reset();
}

bool WriteFileAtomically(const std::string& path, const uint8_t* data, size_t size) {
    ToolStagedFile out(path);
    return out->Get() && (size == 0 || std::fwrite(data, 1, size, out->Get()) == size) && out->Commit();
}

fs::path FsPath(const std::string& utf8) {
    // (u8path is what C++17 has for this; C++20 would take a u8string.)
    return fs::u8path(utf8);
}

std::string Utf8Of(const fs::path& path) { return path.u8string(); }

void RemoveTemporaryFileOnInterrupt() {
    std::signal(SIGINT, RemoveTemporaryAndStop);
    std::signal(SIGTERM, RemoveTemporaryAndStop);
}

std::string FindFileIn(const std::string& folder, const std::string& name) {
    fs::path found = FsPath(folder);
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
        if (fs::exists(found / FsPath(part), ec)) {
            found /= FsPath(part);
        } else {
            fs::path match;
            for (fs::directory_iterator it(found, ec), end; !ec && it != end; it.increment(ec)) {
                if (SameIgnoringCase(Utf8Of(it->path().filename()), part)) {
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
    return fs::is_regular_file(found, ec) ? Utf8Of(found) : std::string();
}
