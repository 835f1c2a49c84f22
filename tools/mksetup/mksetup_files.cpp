#include "tools/mksetup/mksetup_files.h"

#include "data/ascii.h"

#include <cstdio>
#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b) { return UpperAscii(a) == UpperAscii(b); }

}  // namespace

std::string TemporaryNameFor(const std::string& path) { return path + ".mksetup-tmp"; }

bool ReplaceFile(const std::string& temporary, const std::string& path) {
    std::error_code ec;
    fs::rename(temporary, path, ec);
    if (ec) {
        // Some systems refuse to rename over an existing file.
        fs::remove(path, ec);
        fs::rename(temporary, path, ec);
    }
    if (ec)
        fs::remove(temporary, ec);
    return !ec;
}

bool WriteFileAtomically(const std::string& path, const uint8_t* data, size_t size) {
    const std::string temporary = TemporaryNameFor(path);
    std::FILE* out = std::fopen(temporary.c_str(), "wb");
    if (!out)
        return false;
    const bool written = (size == 0 || std::fwrite(data, 1, size, out) == size) && std::fflush(out) == 0;
    if (std::fclose(out) != 0 || !written) {
        std::error_code ec;
        fs::remove(temporary, ec);
        return false;
    }
    return ReplaceFile(temporary, path);
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
