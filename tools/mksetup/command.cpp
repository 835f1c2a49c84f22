#include "tools/mksetup/command.h"
#include "tools/mksetup/mksetup_files.h"

#include "base/file_io.h"
#include "base/legacy_text.h"
#include "base/utf8.h"
#include "formats/file_list.h"
#include "formats/list_format.h"

#include <algorithm>
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
        relative /= FsPath(part);
    return Utf8Of(relative);
}

bool IsFolder(const std::string& path, std::ostream& err) {
    std::error_code ec;
    if (fs::is_directory(FsPath(path), ec))
        return true;
    PrintError(err, path + (ec ? ": " + ec.message() : std::string(" is not a folder")));
    return false;
}

bool FolderInTheWay(const std::string& path, std::ostream& err) {
    std::error_code ec;
    if (!fs::is_directory(FsPath(path), ec))
        return false;
    PrintError(err, path + " is a folder; it is not replaced by a file");
    return true;
}

bool ParseListCodePage(const std::string& text, unsigned& codePage) {
    if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    codePage = static_cast<unsigned>(std::stoul(text));
    return IsListCodePage(codePage);
}

bool ReadPlainText(const std::string& path, unsigned codePage, std::vector<uint8_t>& text, std::ostream& err) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes)) {
        PrintError(err, "cannot read " + path);
        return false;
    }
    std::string_view rest(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (codePage == 0 && rest.substr(0, kUtf8Bom.size()) == kUtf8Bom) rest.remove_prefix(kUtf8Bom.size());
    text.clear();
    // Line by line, so that an error names its line: LF is no byte of a
    // multi-byte character in any of the code pages.
    for (int line = 1; !rest.empty(); ++line) {
        const size_t end = std::min(rest.find('\n'), rest.size() - 1) + 1;
        const std::string_view bytesOfLine = rest.substr(0, end);
        std::string utf8;
        if (codePage == 0 ? !IsUtf8(bytesOfLine) : !LegacyToUtf8(codePage, bytesOfLine, utf8)) {
            PrintError(err, path + ":" + std::to_string(line) + ": " +
                                (codePage == 0 ? std::string("not UTF-8; name the code page it is written in with "
                                                             "--list-codepage")
                                               : "not text in code page " + std::to_string(codePage)));
            return false;
        }
        if (codePage == 0) utf8.assign(bytesOfLine);
        text.insert(text.end(), utf8.begin(), utf8.end());
        rest.remove_prefix(end);
    }
    return true;
}

void MarkUtf8Text(std::vector<uint8_t>& text) {
    if (IsAscii(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()))) return;
    text.insert(text.begin(), kUtf8Bom.begin(), kUtf8Bom.end());
}
