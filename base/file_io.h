// Files as the C library's streams, opened by UTF-8 path, and whole-file
// reading, shared by the installer's loaders and the packaging tool.
// Win32-free interface.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// Closes a stream when its owner goes.
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Opens the file |path| (UTF-8) as fopen would with |mode| ("rb", "wb",
// ...): on Windows through _wfopen, so that no name is taken through a code
// page, and a path past MAX_PATH in the \\?\ form. Null when it cannot be
// opened (errno says why).
std::FILE* OpenFile(const std::string& path, const char* mode);
// OpenFile(path, "rb"), and no one may write the file while it is open
// (where the system has share modes): what is checked stays what is read.
std::FILE* OpenFileDenyingWrites(const std::string& path);

// Appends the bytes of |file| from its position to its end to |data|. False
// after a read error.
bool ReadRest(std::FILE* file, std::vector<uint8_t>& data);

// Replaces |data| with the bytes of the file |path|. False when it cannot be
// opened or read.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& data);

// A stretch of an open stream: |size| bytes from |offset| on. A file of its
// own is the stretch from 0 to its end (kToTheEnd); a file stored in a larger
// one is the stretch where it lies.
struct FileRange {
    static constexpr uint64_t kToTheEnd = ~uint64_t(0);
    std::FILE* file = nullptr;
    uint64_t offset = 0;
    uint64_t size = kToTheEnd;
};

// How CanOpenFile opens a file: as fopen's "rb" or "r+b" would.
enum class FileAccess { kRead, kReadWrite };

// Whether the existing file |path| can be opened (and is closed again) for
// |access|. (On Windows with CreateFile alone: a stream would cost a call to
// the system more for its own set-up.)
// With |closer| the file may be closed after the call returns.
class LaterClose;
bool CanOpenFile(const char* path, FileAccess access, LaterClose* closer = nullptr);

// Moves |file| to |offset| from its start (64-bit offsets); false on failure.
bool SeekFile(std::FILE* file, uint64_t offset);

// Reads a stretch of a file in blocks: where it starts, then as far as the
// stretch or the file goes.
class RangeReader {
public:
    explicit RangeReader(const FileRange& range) : m_range(range), m_left(range.size) {}
    // Positions the stream at the stretch's start; false when it cannot.
    bool Start() { return SeekFile(m_range.file, m_range.offset); }
    // Up to |size| bytes; 0 at the stretch's end or the file's.
    size_t Read(uint8_t* buffer, size_t size) {
        if (size > m_left) size = static_cast<size_t>(m_left);
        const size_t got = size ? std::fread(buffer, 1, size, m_range.file) : 0;
        m_left -= got;
        return got;
    }
    bool Failed() const { return std::ferror(m_range.file) != 0; }

private:
    FileRange m_range;
    uint64_t m_left;
};

// Replaces |data| with the bytes of |range|. False after a read error or
// when the file ends before the stretch does.
bool ReadRange(const FileRange& range, std::vector<uint8_t>& data);
