// What a test writes onto a distribution medium: the scrambled file list and
// compressed payloads.
#pragma once

#include "formats/medium.h"
#include "formats/scramble.h"
#include "expand/lzhuf_encode.h"

#include <cstdint>
#include <string>
#include <vector>

// setup.drc's bytes for the plain list |plain| (lines with their CR LF).
inline std::string ScrambledList(const std::string& plain) {
    std::vector<uint8_t> bytes(plain.begin(), plain.end());
    ScrambleBuffer(bytes.data(), bytes.size());
    return std::string(bytes.begin(), bytes.end());
}

// A payload file of |content|, compressed; empty if it cannot be encoded.
inline std::string PackedPayload(const std::string& content) {
    std::vector<uint8_t> file;
    if (!EncodeLzhuf(reinterpret_cast<const uint8_t*>(content.data()), content.size(), file)) return std::string();
    return std::string(file.begin(), file.end());
}

// Makes |plain| the list that the medium gave at start-up, which the run
// loads again with the destination.
inline void UseList(const std::string& plain) {
    const std::string scrambled = ScrambledList(plain);
    theMedium.SetList(std::vector<uint8_t>(scrambled.begin(), scrambled.end()));
}
