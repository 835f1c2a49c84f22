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
