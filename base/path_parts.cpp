#include "base/path_parts.h"

PathParts SplitPath(const std::string& path, const char* separators) {
    const size_t last = path.find_last_of(separators);
    if (last == std::string::npos) return {std::string(), path};
    return {path.substr(0, last + 1), path.substr(last + 1)};
}

namespace {

bool IsSeparator(char ch) { return ch == '\\' || ch == '/'; }

bool IsDriveLetter(char ch) { return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z'); }

}  // namespace

size_t PathRootLength(const std::string& path) {
    if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == ':' && IsSeparator(path[2])) return 3;
    if (path.size() < 3 || !IsSeparator(path[0]) || !IsSeparator(path[1])) return 0;
    const size_t server = path.find_first_of("\\/", 2);  // the separator after the server name
    if (server == std::string::npos || server == 2) return 0;
    const size_t share = path.find_first_of("\\/", server + 1);  // the one after the share name
    if (share == std::string::npos) return path.size() > server + 1 ? path.size() : 0;
    return share > server + 1 ? share + 1 : 0;
}
