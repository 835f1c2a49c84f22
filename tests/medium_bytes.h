// What a test writes onto a distribution medium: the scrambled file list,
// compressed payloads and setup.sum, and the medium read from them.
#pragma once

#include "formats/medium.h"
#include "formats/medium_files.h"
#include "formats/scramble.h"
#include "expand/lzhuf_encode.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
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

// Reads |medium| as at start-up, a folder medium in the working directory,
// after writing |plain| there as its setup.drc: the list the medium gave,
// which the run loads again with the destination.
inline void UseList(Medium& medium, const std::string& plain) {
    std::ofstream(kFileListName, std::ios::binary) << ScrambledList(plain);
    medium.UseFolder(kWelcomeTextName);
    std::string damaged;
    medium.Load(damaged);
}

// Reads |medium| as at start-up, a folder medium in |dir|, after writing
// |sum| there as its setup.sum. False when the medium does not load.
inline bool UseSum(Medium& medium, const std::string& dir, const SetupSum& sum) {
    const std::filesystem::path saved = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    std::ofstream(kSumFileName, std::ios::binary) << sum.Format();
    medium.UseFolder(kWelcomeTextName);
    std::string damaged;
    const bool loaded = medium.Load(damaged);
    std::filesystem::current_path(saved);
    return loaded;
}
