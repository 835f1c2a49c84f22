// libFuzzer target: the registry walk's split of a path text, the part of the
// walk that reads the text before any registry call.
//
// Byte 0 is the separator, bit 0 of byte 1 says whether the walk starts at a
// root, the rest is the path (ending at its first NUL, as a C string does),
// held in a heap block of exactly its size so that a read past its end shows.
// A split that succeeds must give back exactly the text's parts.
#include "base/registry_roots.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const char sep = char(data[0]);
    const bool startsAtRoot = (data[1] & 1) != 0;
    std::unique_ptr<char[]> path(new char[size - 1]);
    std::memcpy(path.get(), data + 2, size - 2);
    path[size - 2] = '\0';

    RegistryPathParts parts;
    const RegistryPathFault fault = SplitRegistryPath(path.get(), sep, startsAtRoot, parts);
    Check((fault == RegistryPathFault::kNulSeparator) == (sep == '\0'), "a NUL separator was not refused");
    if (fault != RegistryPathFault::kNone) {
        Check(parts.keys.empty() && parts.root < 0, "a failed split left parts behind");
        return 0;
    }

    // Joined again, the parts are the text; none holds the separator.
    const std::string text = path.get();
    std::string joined;
    if (startsAtRoot) {
        const std::string first = text.substr(0, text.find(sep));
        Check(parts.root >= 0 && RegistryRootIndex(first) == parts.root, "wrong root");
        joined = first + sep;
    } else {
        Check(parts.root == -1, "a root below a given key");
    }
    for (const std::string& key : parts.keys) {
        Check(key.find(sep) == std::string::npos, "a key name holds the separator");
        joined += key + sep;
    }
    Check(parts.valueName.find(sep) == std::string::npos, "the value name holds the separator");
    Check(joined + parts.valueName == text, "the parts are not the text");
    return 0;
}
