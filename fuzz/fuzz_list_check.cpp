// libFuzzer target: the packaging tool's list checker against the loader.
//
// A list that the checker passes without an error must load whole, and the
// way the checker read it: every line consumed, every field as split from the
// line (none cut short by a NUL), every K record with a type and a root the
// registry walk accepts. When the checker has not even a warning, loading
// with macro values expands each field on its own: the macros change no split.
#include "formats/list_format.h"
#include "base/registry_roots.h"
#include "fuzz/fuzz_support.h"
#include "tools/mksetup/list_check.h"

namespace {

std::string Text(const char* text) {
    Check(text != nullptr, "a filled record has a null text");
    return text;
}

// The records as the table of record kinds splits them, field by field,
// with each field expanded on its own by |expand| (nothing: as written).
std::vector<std::string> FieldsOfLines(const std::vector<ListLine>& lines, const MacroExpander& expand) {
    std::vector<std::string> fields;
    for (const ListLine& line : lines) {
        if (line.text.size() < 3) continue;
        const RecordKind* kind = RecordKindOf(line.text[0]);
        if (!kind || !kind->store) continue;
        RecordTexts split = SplitRecordText(kind->fields, line.text.substr(2), line.text[1]);
        for (std::string& field : split)
            if (expand) expand(field);
        uint32_t value = 0;
        if (kind->letter == 'K' && split[0] == "DWORD")  // a DWORD's data is its number
            split[2] = ParseUnsignedDecimal(split[2].c_str(), value) ? std::to_string(value) : "no number";
        for (const std::string& field : split) fields.push_back(std::string(1, kind->letter) + field);
    }
    return fields;
}

// The same from the loaded records, in line order.
std::vector<std::string> FieldsOfRecords(const std::vector<ListLine>& lines, const FileList& list,
                                         const std::string& destDir) {
    std::vector<std::string> fields;
    size_t f = 0, k = 0, l = 0, h = 0;
    for (const ListLine& line : lines) {
        if (line.text.size() < 3) continue;
        const RecordKind* kind = RecordKindOf(line.text[0]);
        const char letter = kind ? kind->letter : 0;
        if (letter == 'F') {
            fields.push_back("F" + Text(list.m_files[f].m_pszSource));
            fields.push_back("F" + Text(list.m_files[f++].m_pszDest));
        } else if (letter == 'K') {
            const RegistryEntry& entry = list.m_regEntries[k++];
            const std::string type = Text(entry.m_pszType);  // the checker passed its type and number
            const std::string data = type == "SZ" ? Text(entry.m_pszValue) : std::to_string(entry.m_dwValue);
            RegistryPathParts parts;
            Check(SplitRegistryPath(ExactCopy(Text(entry.m_pszPath)).get(), entry.m_chSep, true, parts) ==
                      RegistryPathFault::kNone,
                  "the checker passed a registry path the walk refuses");
            fields.push_back("K" + type);
            fields.push_back("K" + Text(entry.m_pszPath));
            fields.push_back("K" + data);
        } else if (letter == 'L') {
            const ShortcutEntry& entry = list.m_shortcuts[l++];
            fields.push_back("L" + Text(entry.m_pszLink));
            fields.push_back("L" + Text(entry.m_pszTarget));
            fields.push_back("L" + Text(entry.m_pszDescription));
        } else if (letter == 'H') {
            fields.push_back("H" + list.m_sharedFiles[h++].m_strFragment);
        } else if (letter == 'X') {
            fields.push_back("X" + destDir);  // the last X line wins; compared below only when there is one
        } else if (letter == 'V') {
            fields.push_back("V" + list.m_strProductVersion);  // as X: the last one wins
        } else if (letter == 'P') {
            fields.push_back("P" + list.m_strPublisher);
        }
    }
    return fields;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<ListIssue> issues = CheckList(data, size);
    const std::vector<ListLine> lines = SplitListLines(data, size);
    bool errors = false, warnings = false;
    int last = 1;
    for (const ListIssue& issue : issues) {
        Check(issue.line >= last && issue.line <= int(lines.size()) + 1, "issues out of line order");
        last = issue.line;
        (issue.error ? errors : warnings) = true;
    }
    if (errors) return 0;

    const std::string plain(reinterpret_cast<const char*>(data), size);
    for (const std::string& source : ListSources(data, size))
        Check(!SourcePathParts(source).empty(), "the checker passed a source that leads outside");

    FileList list;
    std::string destDir;
    Check(LoadPlainList(plain, [](std::string&) {}, list, destDir), "a list the checker passed does not load");
    int xLines = 0, vLines = 0, pLines = 0;
    for (const ListLine& line : lines) {
        const RecordKind* kind = line.text.size() >= 3 ? RecordKindOf(line.text[0]) : nullptr;
        xLines += kind && kind->letter == 'X';
        vLines += kind && kind->letter == 'V';
        pLines += kind && kind->letter == 'P';
    }
    if (xLines > 1 || vLines > 1 || pLines > 1) return 0;  // only the last line's text of each is kept
    Check(FieldsOfRecords(lines, list, destDir) == FieldsOfLines(lines, nullptr), "loaded otherwise than checked");
    if (warnings) return 0;

    // Values made of backslashes, the separator of every path.
    GivenMacroValues values;
    values.windows = "\\";
    values.system = "\\\\";
    values.programs = "\\\\\\";
    values.programFiles = "\\\\\\\\";
    const MacroExpander expand = ExpandWith(values, "\\\\\\\\\\");
    Check(LoadPlainList(plain, expand, list, destDir), "a list the checker passed does not load with macros");
    Check(FieldsOfRecords(lines, list, destDir) == FieldsOfLines(lines, expand), "macros changed a split");
    return 0;
}
