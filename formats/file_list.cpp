#include "formats/file_list.h"

#include "base/ascii.h"
#include "base/utf8.h"
#include "formats/list_format.h"
#include "formats/path_macros.h"
#include "formats/scramble.h"

#include <iterator>

void FileList::Clear() { *this = FileList(); }

namespace {

void StoreFile(const RecordTexts& fields, char, FileList& list, std::string&) {
    list.m_files.emplace_back();
    FileEntry& entry = list.m_files.back();
    entry.m_pszSource.Assign(fields[0]);
    entry.m_pszDest.Assign(fields[1]);
}

// The type is compared exactly; a DWORD's data is read as "%u" reads it, and
// without a number the entry has no type.
void StoreRegistryValue(const RecordTexts& fields, char sep, FileList& list, std::string&) {
    list.m_regEntries.emplace_back();
    RegistryEntry& entry = list.m_regEntries.back();
    const std::string& type = fields[0];
    entry.m_chSep = sep;
    entry.m_pszPath.Assign(fields[1]);
    if (type == "DWORD") {
        uint32_t value;
        if (ParseUnsignedDecimal(fields[2].c_str(), value)) {
            entry.m_pszType.Assign(type);
            entry.m_dwValue = value;
        }
    } else if (type == "SZ") {
        entry.m_pszType.Assign(type);
        entry.m_pszValue.Assign(fields[2]);
    }
}

void StoreShortcut(const RecordTexts& fields, char, FileList& list, std::string&) {
    list.m_shortcuts.emplace_back();
    ShortcutEntry& entry = list.m_shortcuts.back();
    entry.m_pszLink.Assign(fields[0]);
    entry.m_pszTarget.Assign(fields[1]);
    entry.m_pszDescription.Assign(fields[2]);
}

void StoreSharedFile(const RecordTexts& fields, char, FileList& list, std::string&) {
    list.m_sharedFiles.push_back(SharedFileEntry{fields[0]});
}

void StoreProductVersion(const RecordTexts& fields, char, FileList& list, std::string&) {
    list.m_strProductVersion = fields[0];
}

void StorePublisher(const RecordTexts& fields, char, FileList& list, std::string&) { list.m_strPublisher = fields[0]; }

void StoreDefaultDestDir(const RecordTexts& fields, char, FileList&, std::string& defaultDestDir) {
    defaultDestDir = fields[0];
}

}  // namespace

const RecordKind kRecordKinds[] = {
    {'F', RecordFields::kAtFirst, {"source", "destination"}, StoreFile},
    {'K', RecordFields::kAtFirstAndLast, {"type", "key path", "data"}, StoreRegistryValue},
    {'L', RecordFields::kAtFirstAndLast, {"link", "target", "description"}, StoreShortcut},
    {'H', RecordFields::kWhole, {"name fragment"}, StoreSharedFile},
    {'X', RecordFields::kWhole, {"default destination directory"}, StoreDefaultDestDir},
    {'V', RecordFields::kWhole, {"product version"}, StoreProductVersion},
    {'P', RecordFields::kWhole, {"publisher"}, StorePublisher},
    {'U', RecordFields::kWhole, {"text encoding"}, nullptr},
    {';', RecordFields::kNone, {}, nullptr},
};
const size_t kRecordKindCount = std::size(kRecordKinds);

const RecordKind* RecordKindOf(char letter) {
    const char upper = UpperAscii(letter);
    for (const RecordKind& kind : kRecordKinds)
        if (kind.letter == upper) return &kind;
    return nullptr;
}

size_t RecordFieldCount(RecordFields fields) {
    switch (fields) {
    case RecordFields::kNone: return 0;
    case RecordFields::kWhole: return 1;
    case RecordFields::kAtFirst: return 2;
    case RecordFields::kAtFirstAndLast: return 3;
    }
    return 0;
}

RecordTexts SplitRecordText(RecordFields fields, const std::string& text, char sep) {
    RecordTexts split(RecordFieldCount(fields));
    switch (fields) {
    case RecordFields::kNone: break;
    case RecordFields::kWhole: split[0] = text; break;
    case RecordFields::kAtFirst: SplitAtFirst(text, sep, split[0], split[1]); break;
    case RecordFields::kAtFirstAndLast: SplitAtFirstAndLast(text, sep, split[0], split[1], split[2]); break;
    }
    return split;
}

const char kUtf8ListMarker[] = "UTF-8";

bool ListMarksUtf8(const std::vector<ListLine>& lines, bool* known) {
    bool utf8 = false;
    if (known) *known = true;
    for (const ListLine& line : lines) {
        if (line.text.size() < 3 || UpperAscii(line.text[0]) != 'U') continue;
        if (UpperAscii(line.text.substr(2)) == kUtf8ListMarker)
            utf8 = true;
        else if (known)
            *known = false;
    }
    return utf8;
}

bool ParseFileList(const uint8_t* scrambled, size_t size, const MacroExpander& expand, FileList& list,
                   std::string& defaultDestDir, unsigned legacyCodePage) {
    list.Clear();
    std::vector<uint8_t> plain(scrambled, scrambled + size);
    ScrambleBuffer(plain.data(), plain.size());
    std::vector<ListLine> lines = SplitListLines(plain.data(), plain.size());
    for (const ListLine& line : lines)
        if (line.tooLong) return false;
    bool known = true;
    const bool utf8 = ListMarksUtf8(lines, &known);
    for (ListLine& line : lines) {
        if (line.text.size() < 3) continue;  // no record
        // An unknown letter: the installer cannot know what the line asks for.
        const RecordKind* kind = RecordKindOf(line.text[0]);
        if (!kind) return false;
        if (kind->letter == 'U' && !known) return false;  // an encoding this program does not know
        if (!kind->store) continue;
        // Every text the program holds is UTF-8: a name is used exactly, or
        // the list is refused.
        const std::string bytes = line.text;
        if (utf8 ? !IsUtf8(bytes) : !IsAscii(bytes) && !LegacyToUtf8(legacyCodePage, bytes, line.text)) return false;
        std::string text = line.text.substr(2);
        const char sep = line.text[1];
        if (RecordFieldCount(kind->fields) > 1 && text.find(kPathMacroNames[kMacroAppDir]) != std::string::npos &&
            list.m_appDirSeparators.find(sep) == std::string::npos)
            list.m_appDirSeparators += sep;
        expand(text);
        kind->store(SplitRecordText(kind->fields, text, line.text[1]), line.text[1], list, defaultDestDir);
    }
    return true;
}

bool IsSharedFile(const FileList& list, const char* text) {
    if (list.m_sharedFiles.empty()) return false;
    const std::string upperText = UpperAscii(text);
    for (const SharedFileEntry& shared : list.m_sharedFiles)
        if (upperText.find(UpperAscii(shared.m_strFragment)) != std::string::npos) return true;
    return false;
}

bool NeedsUtf8Marker(const std::vector<uint8_t>& list, bool medium) {
    const std::string_view text(reinterpret_cast<const char*>(list.data()), list.size());
    return (medium || !IsAscii(text)) && !ListMarksUtf8(SplitListLines(list.data(), list.size()));
}

void AddUtf8Marker(std::vector<uint8_t>& list) {
    const std::string marker = std::string("U;") + kUtf8ListMarker + "\r\n";
    list.insert(list.begin(), marker.begin(), marker.end());
}

void MarkPlainList(std::vector<uint8_t>& list) {
    static const uint8_t kBom[] = {0xEF, 0xBB, 0xBF};
    const bool bom = list.size() >= 3 && std::equal(kBom, kBom + 3, list.begin());
    if (bom) list.erase(list.begin(), list.begin() + 3);
    const std::string_view text(reinterpret_cast<const char*>(list.data()), list.size());
    if ((bom || IsUtf8(text)) && NeedsUtf8Marker(list, false)) AddUtf8Marker(list);
}
