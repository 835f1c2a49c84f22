// The registry path text: a root name, key names and the value name joined by
// one separator character. Win32-free, so the packaging tool's checker reads
// it exactly as the installer's registry walk does.
#pragma once

#include "base/ascii.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

constexpr int kRegistryRootCount = 4;

// In the order of their predefined keys, 0x80000000 to 0x80000003.
constexpr const char* kRegistryRootNames[kRegistryRootCount] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                                                "HKEY_LOCAL_MACHINE", "HKEY_USERS"};

// The index of |name| in kRegistryRootNames, compared without regard to the
// case of ASCII letters; -1 for any other name (no abbreviations).
inline int RegistryRootIndex(const std::string& name) {
    const std::string upper = UpperAscii(name);
    for (int i = 0; i < kRegistryRootCount; ++i)
        if (upper == kRegistryRootNames[i]) return i;
    return -1;
}

// A registry path text taken apart into the levels a walk opens.
struct RegistryPathParts {
    int root = -1;                  // index of the root name; -1 when the walk starts below a given key
    std::vector<std::string> keys;  // the key names to open, outermost first
    std::string valueName;          // the last part; empty names the key's default value
};

enum class RegistryPathFault {
    kNone,
    kNulSeparator,  // a NUL byte cannot separate the parts of a terminated text
    kNoKey,         // the text starts at a root but has no separator: a bare value name has no key
    kUnknownRoot,   // the first name is none of the four root names
};

// Splits the terminated text |path| at every |sep|. With |startsAtRoot| the
// first part must be a root name; without it (a walk below a given key) a
// text without a separator is just the value name.
inline RegistryPathFault SplitRegistryPath(const char* path, char sep, bool startsAtRoot, RegistryPathParts& parts) {
    parts = RegistryPathParts();
    if (sep == '\0') return RegistryPathFault::kNulSeparator;
    std::vector<std::string> names;
    for (const char* end; (end = std::strchr(path, sep)) != nullptr; path = end + 1) names.emplace_back(path, end);
    parts.valueName = path;
    if (startsAtRoot) {
        if (names.empty()) return RegistryPathFault::kNoKey;
        parts.root = RegistryRootIndex(names.front());
        if (parts.root < 0) return RegistryPathFault::kUnknownRoot;
        names.erase(names.begin());
    }
    parts.keys = std::move(names);
    return RegistryPathFault::kNone;
}
