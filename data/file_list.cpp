#include "data/file_list.h"

#include "data/ascii.h"
#include "data/list_format.h"
#include "data/scramble.h"

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

}  // namespace

bool ParseFileList(const uint8_t* scrambled, size_t size, const MacroExpander& expand, FileList& list,
                   std::string& defaultDestDir) {
    list.Clear();

    std::vector<uint8_t> plain(scrambled, scrambled + size);
    ScrambleBuffer(plain.data(), plain.size());
    std::vector<ListLine> lines = SplitListLines(plain.data(), plain.size());

    // Counting pass: size the four arrays.
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

    // Filling pass.
    size_t consumed = 0;
    for (const ListLine& line : lines) {
        if (line.text.size() >= 3) {
            char letter = RecordLetter(line);
            char sep = line.text[1];
            std::string text = line.text.substr(2);
            std::string a, b, c;
            if (letter == 'F') {
                expand(text);
                SplitAtFirst(text, sep, a, b);
                FileEntry& entry = list.m_pFiles[list.m_nFiles++];
                entry.m_pszSource.Assign(a);
                entry.m_pszDest.Assign(b);
            } else if (letter == 'X') {
                defaultDestDir = text;
                expand(defaultDestDir);
            } else if (letter == ';') {
                // comment
            } else if (letter == 'K') {
                expand(text);
                FillRegistryEntry(list.m_pRegEntries[list.m_nRegEntries++], sep, text);
            } else if (letter == 'L') {
                expand(text);
                SplitAtFirstAndLast(text, sep, a, b, c);
                ShortcutEntry& entry = list.m_pShortcuts[list.m_nShortcuts++];
                entry.m_pszLink.Assign(a);
                entry.m_pszTarget.Assign(b);
                entry.m_pszDescription.Assign(c);
            } else if (letter == 'H') {
                expand(text);
                list.m_pSharedFiles[list.m_nSharedFiles++].m_strFragment = text;
            } else {
                break;  // unknown record: the installer cannot know what it asks for
            }
        }
        ++consumed;
    }
    return consumed == lines.size();
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
