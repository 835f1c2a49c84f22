#include "base/file_io.h"

#include "base/later_close.h"

#include <algorithm>

#ifdef _WIN32
#include "base/file_system.h"
#include "base/wide_text.h"

#include <windows.h>

#include <share.h>
#endif

std::FILE* OpenFile(const std::string& path, const char* mode) {
#ifdef _WIN32
    return _wfopen(WidePath(path).c_str(), Wide(mode).c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}

std::FILE* OpenFileDenyingWrites(const std::string& path) {
#ifdef _WIN32
    return _wfsopen(WidePath(path).c_str(), L"rb", _SH_DENYWR);
#else
    return std::fopen(path.c_str(), "rb");
#endif
}

bool ReadRest(std::FILE* file, std::vector<uint8_t>& data) {
    uint8_t block[65536];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) data.insert(data.end(), block, block + got);
    return !std::ferror(file);
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& data) {
    data.clear();
    FilePtr file(OpenFile(path, "rb"));
    return file && ReadRest(file.get(), data);
}

bool CanOpenFile(const char* path, FileAccess access, LaterClose* closer) {
#ifdef _WIN32
    // The access and sharing a stream asks for, and deleting shared too: the
    // file may still be open through the handle that renamed it into place
    // (LaterClose).
    const DWORD wanted = GENERIC_READ | (access == FileAccess::kReadWrite ? GENERIC_WRITE : 0);
    const HANDLE handle =
        OpenPathHandle(path, wanted, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING);
    if (handle == INVALID_HANDLE_VALUE) return false;
    if (closer)
        closer->Close([](void* opened) { CloseHandle(opened); }, handle);
    else
        CloseHandle(handle);
    return true;
#else
    std::FILE* file = OpenFile(path, access == FileAccess::kReadWrite ? "r+b" : "rb");
    if (!file) return false;
    if (closer)
        closer->Close(file);
    else
        std::fclose(file);
    return true;
#endif
}

bool SeekFile(std::FILE* file, uint64_t offset) {
#ifdef _WIN32
    return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

bool ReadRange(const FileRange& range, std::vector<uint8_t>& data) {
    data.clear();
    RangeReader reader(range);
    if (!reader.Start()) return false;
    // (Room for what the stretch says it holds, up to a bound: the file may
    // end sooner.)
    if (range.size != FileRange::kToTheEnd) data.reserve(static_cast<size_t>(std::min<uint64_t>(range.size, 1u << 26)));
    uint8_t block[65536];
    size_t got;
    while ((got = reader.Read(block, sizeof block)) > 0) data.insert(data.end(), block, block + got);
    return !reader.Failed() && (range.size == FileRange::kToTheEnd || data.size() == range.size);
}
