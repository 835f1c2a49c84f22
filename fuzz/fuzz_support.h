// Helpers shared by the libFuzzer targets.
#pragma once

#include "formats/file_list.h"
#include "formats/path_macros.h"
#include "formats/scramble.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

// Ends the run as a finding when |condition| does not hold.
inline void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz: %s\n", what);
        std::abort();
    }
}

// A terminated copy of |text| in a heap block of exactly its size, so that
// the sanitizer sees any read past its terminator.
inline std::unique_ptr<char[]> ExactCopy(const std::string& text) {
    std::unique_ptr<char[]> copy(new char[text.size() + 1]);
    std::memcpy(copy.get(), text.c_str(), text.size() + 1);
    return copy;
}

// Macro values given by the fuzzer. An empty Programs folder or Program
// Files directory stands for a failed look-up.
class GivenMacroValues : public MacroValues {
public:
    std::string WindowsDirectory() override { return windows; }
    std::string SystemDirectory() override { return system; }
    bool ProgramsFolder(std::string& path) override {
        path = programs;
        return !programs.empty();
    }
    bool ProgramFilesDirectory(std::string& path) override {
        path = programFiles;
        return !programFiles.empty();
    }

    std::string windows, system, programs, programFiles;
};

// Loads a plain list (scrambled first, as it lies on the medium).
inline bool LoadPlainList(const std::string& plain, const MacroExpander& expand, FileList& list,
                          std::string& destDir) {
    std::vector<uint8_t> bytes(plain.begin(), plain.end());
    ScrambleBuffer(bytes.data(), bytes.size());
    return ParseFileList(bytes.data(), bytes.size(), expand, list, destDir);
}

// The real macro loop over |values|; |appDir| may be null.
inline MacroExpander ExpandWith(GivenMacroValues& values, const char* appDir) {
    return [&values, appDir](std::string& text) { ExpandPathMacrosWith(values, text, appDir); };
}
