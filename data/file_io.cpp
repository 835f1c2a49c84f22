#include "data/file_io.h"

bool ReadRest(std::FILE* file, std::vector<uint8_t>& data) {
    uint8_t block[65536];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) data.insert(data.end(), block, block + got);
    return !std::ferror(file);
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& data) {
    data.clear();
    FilePtr file(std::fopen(path.c_str(), "rb"));
    return file && ReadRest(file.get(), data);
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
    uint8_t block[65536];
    size_t got;
    while ((got = reader.Read(block, sizeof block)) > 0) data.insert(data.end(), block, block + got);
    return !reader.Failed() && (range.size == FileRange::kToTheEnd || data.size() == range.size);
}
