// The root names a registry path text may start with. Win32-free, so the
// packaging tool's checker knows them too.
#pragma once

#include "data/ascii.h"

#include <string>

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
