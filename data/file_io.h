// Whole-file reading through the C library's streams, shared by the
// installer's loaders and the packaging tool. Win32-free.
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

// Appends the bytes of |file| from its position to its end to |data|. False
// after a read error.
bool ReadRest(std::FILE* file, std::vector<uint8_t>& data);

// Replaces |data| with the bytes of the file |path|. False when it cannot be
// opened or read.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& data);
