#include "data/path_parts.h"

PathParts SplitPath(const std::string& path, const char* separators) {
    const size_t last = path.find_last_of(separators);
    if (last == std::string::npos) return {std::string(), path};
    return {path.substr(0, last + 1), path.substr(last + 1)};
}
