#include "tools/mksetup/list_check.h"

#include "base/ascii.h"
#include "base/utf8.h"
#include "formats/file_list.h"
#include "formats/list_format.h"
#include "formats/path_macros.h"
#include "base/registry_roots.h"

#include <map>

namespace {

bool IsWordChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

// True when the installer would replace something in |text|.
bool HoldsMacro(const std::string& text) {
    for (const char* macro : kPathMacroNames)
        if (text.find(macro) != std::string::npos)
            return true;
    return false;
}

// True when |text| holds a macro whose name holds the character |c|.
bool HoldsMacroNaming(const std::string& text, char c) {
    for (const char* macro : kPathMacroNames)
        if (text.find(macro) != std::string::npos && std::string(macro).find(c) != std::string::npos)
            return true;
    return false;
}

class Checker {
public:
    Checker(const SourceFinder& findSource, bool utf8) : m_findSource(findSource), m_utf8(utf8) {}

    // dropped: the byte the loader drops before the line's LF (0: none).
    void Line(const ListLine& line, char dropped);
    void Unterminated(int line) {
        Warn(line, "the last line has no line end; the installer ignores it");
    }
    std::vector<ListIssue> Take() { return std::move(m_issues); }

private:
    void Error(int line, const std::string& message) { m_issues.push_back({line, true, message}); }
    void Warn(int line, const std::string& message) { m_issues.push_back({line, false, message}); }
    void Macros(int line, const std::string& text);
    bool HasEveryField(int line, const RecordKind& kind, char sep, const std::string& body);
    // What the installer would do wrong with the fields of an F or a K
    // record (the others have nothing to check beyond their separators).
    void FileRecord(int line, char sep, const std::string& body);
    void RegistryRecord(int line, char sep, const std::string& body);

    const SourceFinder& m_findSource;
    const bool m_utf8;  // the list has its U line
    std::vector<ListIssue> m_issues;
    std::map<std::string, int> m_destinations;   // upper-case destination -> first line
};

void Checker::Line(const ListLine& line, char dropped) {
    const int n = line.number;
    if (line.tooLong) {
        Error(n, "the line is longer than " + std::to_string(kMaxLineContent) +
                     " characters; the installer refuses the whole list");
        return;
    }
    // A line that ends in LF alone loses its last character to the loader.
    if (!line.crlf && dropped != 0)
        Error(n, "the line ends in LF without CR; the installer drops its last character " +
                     Quoted(std::string(1, dropped)));
    if (line.text.size() < 3)
        return;
    const RecordKind* kind = RecordKindOf(line.text[0]);
    const char sep = line.text[1];
    const std::string body = line.text.substr(2);
    if (!kind) {
        Error(n, "unknown record letter " + Quoted(std::string(1, line.text[0])) +
                     "; the installer stops loading the list here");
        return;
    }
    if (kind->fields == RecordFields::kNone)
        return;
    if (kind->letter == 'U' && UpperAscii(body) != kUtf8ListMarker) {
        Error(n, "unknown text encoding " + Quoted(body) + "; the installer knows only " + kUtf8ListMarker);
        return;
    }
    if (m_utf8 && !IsUtf8(line.text)) {
        Error(n, "the line is not UTF-8; the installer refuses the whole list");
        return;
    }
    if (!m_utf8 && !IsAscii(line.text)) {
        Error(n, std::string("the line holds more than ASCII and the list has no U line; the installer would read it "
                             "in the system's code page"));
        return;
    }
    const bool splits = RecordFieldCount(kind->fields) > 1;
    if (splits && sep == '\0') {
        Error(n, "the separator is a NUL byte; the installer cannot split a text at it");
        return;
    }
    if (body.find('\0') != std::string::npos) {
        Error(n, "the line holds a NUL byte; the installer's texts end there");
        return;
    }
    if (HasEveryField(n, *kind, sep, body)) {
        if (kind->letter == 'F')
            FileRecord(n, sep, body);
        else if (kind->letter == 'K')
            RegistryRecord(n, sep, body);
    }
    Macros(n, body);
    // The installer expands macros before it splits the text. Every path a
    // macro stands for holds backslashes and, but for a network path, a
    // drive's colon; a text split at its last separator is split there too.
    if ((sep == '\\' || sep == ':') && kind->fields == RecordFields::kAtFirstAndLast && HoldsMacro(body))
        Warn(n, "the separator is " + Quoted(std::string(1, sep)) + " and the text holds a macro; the installer "
                "expands macros before it splits, so the " +
                (sep == ':' ? "drive's colon in the expanded path splits" : "backslashes of the expanded path split") +
                " the text too");
    else if (splits && HoldsMacroNaming(body, sep))
        Warn(n, "the separator " + Quoted(std::string(1, sep)) + " is part of a macro the text holds; the "
                "installer expands macros before it splits, so that separator is gone");
}

// A record split into several fields needs a separator before each but the
// first; without, the installer reads empty fields.
bool Checker::HasEveryField(int line, const RecordKind& kind, char sep, const std::string& body) {
    const size_t first = body.find(sep);
    const std::string letter(1, kind.letter);
    switch (kind.fields) {
    case RecordFields::kAtFirst:
        if (first != std::string::npos)
            return true;
        Error(line, letter + " record without the separator " + Quoted(std::string(1, sep)) + " between " +
                        kind.names[0] + " and " + kind.names[1]);
        return false;
    case RecordFields::kAtFirstAndLast:
        if (first != std::string::npos && body.find(sep, first + 1) != std::string::npos)
            return true;
        Error(line, letter + " record needs " + kind.names[0] + ", " + kind.names[1] + " and " + kind.names[2] +
                        ", separated by " + Quoted(std::string(1, sep)));
        return false;
    default:
        return true;
    }
}

// Every ?WORD? must be one of the five macros, written in upper case.
void Checker::Macros(int line, const std::string& text) {
    size_t pos = 0;
    while ((pos = text.find('?', pos)) != std::string::npos) {
        size_t end = pos + 1;
        while (end < text.size() && IsWordChar(text[end]))
            ++end;
        if (end == pos + 1 || end == text.size() || text[end] != '?') {
            ++pos;
            continue;
        }
        const std::string word = text.substr(pos + 1, end - pos - 1);
        bool known = false;
        std::string meant;
        for (const char* macro : kPathMacroNames) {
            const std::string name(macro + 1, std::char_traits<char>::length(macro) - 2);  // without the '?'s
            known |= word == name;
            if (UpperAscii(word) == name)
                meant = name;
        }
        if (!known) {
            std::string message = Quoted("?" + word + "?") + " is not a path macro and stays as it is";
            if (!meant.empty())
                message += "; macros are upper case: ?" + meant + "?";
            Warn(line, message);
        }
        pos = end + 1;
    }
}

void Checker::FileRecord(int line, char sep, const std::string& body) {
    std::string source, dest;
    SplitAtFirst(body, sep, source, dest);
    if (HoldsMacro(source))
        Error(line, "source name " + Quoted(source) + " holds a macro; the installer would look for the expanded "
                    "name, not for the packed file");
    const std::vector<std::string> parts = SourcePathParts(source);
    if (parts.empty())
        Error(line, "source name " + Quoted(source) + " leads outside the distribution folder");
    for (const char* name : kDistributionFileNames)
        if (parts.size() == 1 && UpperAscii(parts[0]) == UpperAscii(name))
            Error(line, "source file " + Quoted(source) + " would be packed under the name of the distribution's "
                        "own " + name + ", which mksetup writes there too");
    if (m_findSource && !m_findSource(source))
        Error(line, "source file " + Quoted(source) + " is not in the source folder");
    const auto seen = m_destinations.emplace(UpperAscii(dest), line);
    if (!seen.second)
        Warn(line, "destination " + Quoted(dest) + " is also the destination on line " +
                       std::to_string(seen.first->second) + "; the later file replaces the earlier");
}

void Checker::RegistryRecord(int line, char sep, const std::string& body) {
    std::string type, path, data;
    SplitAtFirstAndLast(body, sep, type, path, data);
    uint32_t value = 0;
    if (type != "DWORD" && type != "SZ")
        Error(line, "registry type " + Quoted(type) + " is neither \"DWORD\" nor \"SZ\" (exactly, in upper case)");
    else if (type == "DWORD" && !ParseUnsignedDecimal(data.c_str(), value))
        Error(line, "DWORD data " + Quoted(data) + " has no digits");

    RegistryPathParts parts;
    switch (SplitRegistryPath(path.c_str(), sep, true, parts)) {
    case RegistryPathFault::kNone:
    case RegistryPathFault::kNulSeparator:  // reported for the whole line
        break;
    case RegistryPathFault::kNoKey:
        Error(line, "registry path " + Quoted(path) + " names no key below a root");
        break;
    case RegistryPathFault::kUnknownRoot:
        Error(line, "registry root " + Quoted(path.substr(0, path.find(sep))) +
                        " is not HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE or HKEY_USERS");
        break;
    }
}

}  // namespace

std::vector<ListIssue> CheckList(const uint8_t* data, size_t size, const SourceFinder& findSource, bool markedUtf8) {
    const std::vector<ListLine> lines = SplitListLines(data, size);
    Checker checker(findSource, markedUtf8 || ListMarksUtf8(lines));
    size_t start = 0, next = 0;
    for (const ListLine& line : lines) {
        while (data[next] != '\n')
            ++next;
        checker.Line(line, next - start >= 2 ? char(data[next - 1]) : 0);
        start = ++next;
    }
    if (size > 0 && data[size - 1] != '\n')
        checker.Unterminated(int(lines.size()) + 1);
    return checker.Take();
}

std::vector<std::string> SourcePathParts(const std::string& source) {
    if (source.empty() || source.find(':') != std::string::npos || source[0] == '\\' || source[0] == '/')
        return {};
    std::vector<std::string> parts;
    std::string part;
    for (char c : source + '\\') {
        if (c != '\\' && c != '/') {
            part += c;
            continue;
        }
        if (part == "..")
            return {};
        if (!part.empty() && part != ".")
            parts.push_back(part);
        part.clear();
    }
    return parts;
}

std::vector<std::string> ListSources(const uint8_t* data, size_t size) {
    std::vector<std::string> sources;
    std::map<std::string, bool> seen;
    for (const ListLine& line : SplitListLines(data, size)) {
        if (line.tooLong || line.text.size() < 3 || UpperAscii(line.text[0]) != 'F')
            continue;
        std::string source, dest;
        SplitAtFirst(line.text.substr(2), line.text[1], source, dest);
        if (seen.emplace(source, true).second)
            sources.push_back(source);
    }
    return sources;
}
