#include "app/wizard_texts.h"

#include "data/file_io.h"
#include "data/install_log.h"
#include "data/medium_files.h"
#include "data/path_parts.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// Length of an open file in bytes; -1 when it cannot be told (a directory
// opened as a file on some systems, a device).
long FileLength(std::FILE* file) {
    if (std::fseek(file, 0, SEEK_END) != 0) return -1;
    long length = std::ftell(file);
    if (std::fseek(file, 0, SEEK_SET) != 0) return -1;
    return length;
}

// Reads the whole of |file| and returns it as a C string: up to its first
// zero byte. |whole| tells whether every byte of the file's length was read.
// The bytes are gathered as they come rather than into a buffer sized from
// the length, which a folder opened as a file reports as absurdly large.
std::string ReadAsCString(std::FILE* file, bool& whole) {
    whole = false;
    long length = FileLength(file);
    if (length <= 0) return std::string();
    const size_t wanted = static_cast<size_t>(length);
    std::string bytes;
    char chunk[16384];
    while (bytes.size() < wanted) {
        size_t got = std::fread(chunk, 1, std::min(sizeof chunk, wanted - bytes.size()), file);
        if (got == 0) break;
        bytes.append(chunk, got);
    }
    whole = bytes.size() == wanted;
    return std::string(bytes.c_str());
}

}  // namespace

std::string WelcomeTextPath(const char* invocationPath) {
    // A separator at position 0 alone is no directory part.
    const std::string directory = SplitPath(invocationPath ? invocationPath : "").directory;
    if (directory.size() < 2) return kWelcomeTextName;
    return directory + kWelcomeTextName;
}

std::string LoadWelcomeText(const std::string& path) {
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        const char* reason = std::strerror(errno);
        WriteLog(theLog, "Failed to load %s. Reported reason: %s", path.c_str(), reason);
        return std::string();
    }
    bool whole = false;
    std::string text = ReadAsCString(file.get(), whole);
    return whole ? text : std::string();
}

std::string ReadTermsText(const char* fileName) {
    FilePtr file(std::fopen(fileName, "rb"));
    if (!file) return std::string();
    bool whole = false;  // after a short read the text ends where the read did
    return ReadAsCString(file.get(), whole);
}
