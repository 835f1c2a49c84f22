#include "tools/mksetup/mksetup_files.h"

#include <cstdio>
#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = char(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = char(y - 'a' + 'A');
        if (x != y)
            return false;
    }
    return true;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& data) {
    data.clear();
    std::unique_ptr<std::FILE, FileCloser> in(std::fopen(path.c_str(), "rb"));
    if (!in)
        return false;
    uint8_t block[65536];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, in.get())) > 0)
        data.insert(data.end(), block, block + n);
    return !std::ferror(in.get());
}

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
