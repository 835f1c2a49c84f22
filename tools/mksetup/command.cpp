#include "tools/mksetup/command.h"

#include <filesystem>
#include <iomanip>
#include <sstream>

namespace fs = std::filesystem;

void PrintError(std::ostream& err, const std::string& problem) { err << "mksetup: " << problem << "\n"; }

std::string Percent(uint64_t part, uint64_t whole) {
    std::ostringstream s;
    s << std::fixed << std::setprecision(1) << (whole ? 100.0 * double(part) / double(whole) : 100.0) << "%";
    return s.str();
}

bool ReportIssues(const std::string& listName, const std::vector<ListIssue>& issues, std::ostream& out) {
    bool clean = true;
    for (const ListIssue& issue : issues) {
        out << listName << ":" << issue.line << ": " << (issue.error ? "error: " : "warning: ") << issue.message
            << "\n";
        clean &= !issue.error;
    }
    return clean;
}

std::string RelativeOutputPath(const std::string& source) {
    fs::path relative;
    for (const std::string& part : SourcePathParts(source))
        relative /= part;
    return relative.string();
}

bool IsFolder(const std::string& path, std::ostream& err) {
    std::error_code ec;
    if (fs::is_directory(path, ec))
        return true;
    PrintError(err, path + (ec ? ": " + ec.message() : std::string(" is not a folder")));
    return false;
}

bool FolderInTheWay(const std::string& path, std::ostream& err) {
    std::error_code ec;
    if (!fs::is_directory(path, ec))
        return false;
    PrintError(err, path + " is a folder; it is not replaced by a file");
    return true;
}
