// Inputs for the codec tests: bytes that do not compress, and text that does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline Bytes Noise(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (uint8_t& c : b) c = uint8_t(rng());
    return b;
}

inline Bytes Text(size_t n) {
    std::string s;
    for (int i = 0; s.size() < n; ++i) s += "line " + std::to_string(i % 613) + " of the manual, " + std::to_string(i) + "\r\n";
    return Bytes(s.begin(), s.begin() + long(n));
}
