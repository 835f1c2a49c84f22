// The byte transform that hides the file list on the distribution medium.
//
// Byte number o of a file (counting from 0) is stored as the plain byte XOR
// ScrambleKey(o). The key is the bitwise NOT of the low eight bits of
// (o + 1 + kScrambleConstant): 0xA3 at offset 0, one less at each following
// offset, repeating every 256 bytes. The transform is its own inverse.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint8_t kScrambleConstant = 0x5B;

constexpr uint8_t ScrambleKey(uint64_t offset) {
    return static_cast<uint8_t>(~static_cast<uint8_t>(offset + 1 + kScrambleConstant));
}

// Applies the transform in place to |size| bytes that stand at file offset |offset|.
void ScrambleBuffer(uint8_t* data, size_t size, uint64_t offset = 0);

// Writes |dest| as the transform of the plain list |source|, marked as
// MarkPlainList marks it (formats/file_list.h): byte for byte but for a list
// in UTF-8. True when every byte was read, transformed and written; |dest| is
// then complete. After a failure |dest| is as it was.
bool ScrambleCopy(const char* source, const char* dest);
