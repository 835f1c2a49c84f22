#include "engine/path_names.h"

#include "base/path_parts.h"

#include <cctype>

namespace {

std::string ToLower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

std::string GetPathExtension(const std::string& path) {
    size_t dot = path.rfind('.');
    return ToLower(dot == std::string::npos ? path : path.substr(dot));
}

std::string GetPathFileName(const std::string& path) {
    return SplitPath(path).fileName;
}

bool IsDllPath(const std::string& path) { return GetPathExtension(path) == ".dll"; }
