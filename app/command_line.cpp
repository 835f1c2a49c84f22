#include "app/command_line.h"

#include "app/product_name.h"
#include "base/ascii.h"
#include "base/path_parts.h"

#include <algorithm>
#include <cctype>

const char kCommandLineUsage[] =
    "Usage: setup.exe [ProductName] [/S] [/D=directory]\n"
    "       uninstall.exe /uninstall [/S] [/D=directory]\n"
    "ProductName: the name of the product, an asterisk for each blank\n"
    "/S: install without any window, answering as the default buttons would\n"
    "/D=directory: the destination directory, a full path, last on the line\n"
    "/uninstall: remove the installation in that directory (by default the program's own)";

namespace {

constexpr char kDestDirSwitch[] = "/D=";

bool IsUnattendedSwitch(const std::string& arg) { return UpperAscii(arg) == "/S"; }

bool IsDestDirSwitch(const std::string& arg) { return UpperAscii(arg.substr(0, 3)) == kDestDirSwitch; }

bool IsUninstallSwitch(const std::string& arg) { return UpperAscii(arg) == "/UNINSTALL"; }

bool IsSwitch(const std::string& arg) {
    return IsUnattendedSwitch(arg) || IsDestDirSwitch(arg) || IsUninstallSwitch(arg);
}

// The text after the first "/D=" that starts an argument of |rawLine|, without
// the blanks at its end. Quotes are dropped: no Windows path holds one.
std::string DestDirFromRawLine(const std::string& rawLine) {
    const std::string upper = UpperAscii(rawLine);
    size_t at = upper.find(kDestDirSwitch);
    while (at != std::string::npos && at > 0 && std::string(" \t\"").find(rawLine[at - 1]) == std::string::npos)
        at = upper.find(kDestDirSwitch, at + 1);
    if (at == std::string::npos) return std::string();
    std::string dir = rawLine.substr(at + 3);
    dir.erase(std::remove(dir.begin(), dir.end(), '"'), dir.end());
    while (!dir.empty() && (dir.back() == ' ' || dir.back() == '\t')) dir.pop_back();
    return dir;
}

}  // namespace

std::string DestDirRefusal(const std::string& dir, const std::string& fieldSeparators) {
    // Blanks around the text are a typing matter, not a different directory.
    const size_t first = dir.find_first_not_of(" \t");
    if (first == std::string::npos || !IsFullPath(dir.substr(first)))
        return "The destination directory must be a full path: " + dir +
               "\nA drive and a directory, such as C:\\Apps\\Example, or a network share, such as "
               "\\\\server\\share\\Example.";
    // The list's lines are split at their separator after the directory is
    // put into them: one in the directory would make it another path, key or
    // value.
    const size_t separator = dir.find_first_of(fieldSeparators);
    if (separator != std::string::npos)
        return "The destination directory must not hold \"" + dir.substr(separator, 1) +
               "\", which this product's file list uses between fields: " + dir;
    return std::string();
}

CommandLine ParseCommandLine(int argc, const char* const* argv, const std::string& rawLine) {
    CommandLine line;
    int i = 1;
    if (argc > 1 && argv[1] && !IsSwitch(argv[1])) {
        line.productName = ProductNameFromArgs(argc, argv);
        i = 2;
    }
    for (; i < argc && argv[i]; ++i) {
        const std::string arg = argv[i];
        if (IsUnattendedSwitch(arg)) {
            line.unattended = true;
        } else if (IsUninstallSwitch(arg)) {
            line.uninstall = true;
        } else if (IsDestDirSwitch(arg)) {
            // The rest of the line is the directory.
            line.hasDestDir = true;
            line.destDir = DestDirFromRawLine(rawLine);
            if (line.error.empty()) line.error = DestDirRefusal(line.destDir);
            break;
        } else if (!arg.empty() && arg[0] == '/' && line.error.empty()) {
            line.error = "Unknown switch: " + arg;
        }
    }
    return line;
}
