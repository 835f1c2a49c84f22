#include "formats/file_list.h"

#include "base/ascii.h"
#include "formats/list_format.h"
#include "formats/scramble.h"

#include <vector>

FileList theFileList;
std::string DefaultDestDir;

void FileList::Clear() {
    m_pFiles.reset();
    m_nFiles = 0;
    m_pRegEntries.reset();
    m_nRegEntries = 0;
    m_pShortcuts.reset();
    m_nShortcuts = 0;
    m_pSharedFiles.reset();
    m_nSharedFiles = 0;
}

namespace {

char RecordLetter(const ListLine& line) { return UpperAscii(line.text[0]); }

void FillRegistryEntry(RegistryEntry& entry, char sep, const std::string& text) {
    std::string type, path, data;
    SplitAtFirstAndLast(text, sep, type, path, data);
    entry.m_chSep = sep;
    entry.m_pszPath.Assign(path);
    if (type == "DWORD") {
        uint32_t value;
        if (ParseUnsignedDecimal(data.c_str(), value)) {
            entry.m_pszType.Assign(type);
            entry.m_dwValue = value;
        }
    } else if (type == "SZ") {
        entry.m_pszType.Assign(type);
        entry.m_pszValue.Assign(data);
    }
}

// Sizes the four arrays of |list| for the records of |lines|. False when a
// line is too long (nothing is allocated then).
bool AllocateRecords(const std::vector<ListLine>& lines, FileList& list) {
    int nFiles = 0, nReg = 0, nLinks = 0, nShared = 0;
    for (const ListLine& line : lines) {
        if (line.tooLong) return false;
        if (line.text.size() < 3) continue;
        switch (RecordLetter(line)) {
        case 'F': ++nFiles; break;
        case 'K': ++nReg; break;
        case 'L': ++nLinks; break;
        case 'H': ++nShared; break;
        default: break;
        }
    }
    if (nFiles) list.m_pFiles.reset(new FileEntry[nFiles]);
    if (nReg) list.m_pRegEntries.reset(new RegistryEntry[nReg]);
    if (nLinks) list.m_pShortcuts.reset(new ShortcutEntry[nLinks]);
    if (nShared) list.m_pSharedFiles.reset(new SharedFileEntry[nShared]);
    return true;
}

// Stores the record of one line (of at least three characters) in |list| or
// |defaultDestDir|. False for an unknown record letter: the installer cannot
// know what it asks for.
bool AddRecord(const ListLine& line, const MacroExpander& expand, FileList& list, std::string& defaultDestDir) {
    const char letter = RecordLetter(line);
    const char sep = line.text[1];
    std::string text = line.text.substr(2);
    std::string a, b, c;
    switch (letter) {
    case 'F': {
        expand(text);
        SplitAtFirst(text, sep, a, b);
        FileEntry& entry = list.m_pFiles[list.m_nFiles++];
        entry.m_pszSource.Assign(a);
        entry.m_pszDest.Assign(b);
        return true;
    }
    case 'X':
        defaultDestDir = text;
        expand(defaultDestDir);
        return true;
    case ';':  // comment
        return true;
    case 'K':
        expand(text);
        FillRegistryEntry(list.m_pRegEntries[list.m_nRegEntries++], sep, text);
        return true;
    case 'L': {
        expand(text);
        SplitAtFirstAndLast(text, sep, a, b, c);
        ShortcutEntry& entry = list.m_pShortcuts[list.m_nShortcuts++];
        entry.m_pszLink.Assign(a);
        entry.m_pszTarget.Assign(b);
        entry.m_pszDescription.Assign(c);
        return true;
    }
    case 'H':
        expand(text);
        list.m_pSharedFiles[list.m_nSharedFiles++].m_strFragment = text;
        return true;
    default:
        return false;
    }
}

}  // namespace

bool ParseFileList(const uint8_t* scrambled, size_t size, const MacroExpander& expand, FileList& list,
                   std::string& defaultDestDir) {
    list.Clear();
    std::vector<uint8_t> plain(scrambled, scrambled + size);
    ScrambleBuffer(plain.data(), plain.size());
    const std::vector<ListLine> lines = SplitListLines(plain.data(), plain.size());
    if (!AllocateRecords(lines, list)) return false;
    for (const ListLine& line : lines)
        if (line.text.size() >= 3 && !AddRecord(line, expand, list, defaultDestDir)) return false;
    return true;
}

bool ContainsSharedFragment(const FileList& list, const char* text) {
    if (list.m_nSharedFiles == 0) return false;
    std::string upperText = UpperAscii(text);
    for (int i = 0; i < list.m_nSharedFiles; ++i) {
        if (upperText.find(UpperAscii(list.m_pSharedFiles[i].m_strFragment)) != std::string::npos)
            return true;
    }
    return false;
}

bool IsSharedFile(const char* text) { return ContainsSharedFragment(theFileList, text); }
