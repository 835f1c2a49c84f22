// A classic greedy LZHUF encoder for comparison: every position goes into a
// binary search tree of the strings in the window, which yields the longest
// match; the encoder takes it whenever it is at least 3 bytes long.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Same output format as EncodeLzhuf: the 4-byte size, then the bit stream.
void ReferenceEncodeLzhuf(const uint8_t* data, size_t size, std::vector<uint8_t>& file);
