// Writes a picture as a PNG file: 8-bit RGB, every row filtered with "Sub"
// so flat areas become runs of zero bytes, and those runs packed with the
// fixed Huffman codes of deflate. Enough for screenshots of dialogs, and
// free of any library. No Win32 header.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// |rgb| holds |height| rows of |width| pixels, 3 bytes each (red, green, blue),
// top row first. False when the file cannot be written.
bool WritePngFile(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);

// The zlib stream (deflate, fixed codes, runs as distance-1 matches) of |data|.
std::vector<uint8_t> ZlibCompress(const std::vector<uint8_t>& data);
