// The in-memory file list: what "setup.drc" asks the installation to do.
//
// Four arrays of records, each allocated with exactly the number of records of
// its kind, plus the default destination directory. Every text has its path
// macros expanded before it is split and stored.
#pragma once

#include "formats/owned_string.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// F line: a compressed source file and where it goes.
struct FileEntry {
    OwnedString m_pszSource;  // name of the compressed file, as written in the record
    OwnedString m_pszDest;    // full path of the destination file
};

// K line: one registry value.
struct RegistryEntry {
    char m_chSep = '\\';      // the line's separator; also joins the parts of m_pszPath
    OwnedString m_pszPath;    // root, keys and value name joined by m_chSep
    OwnedString m_pszType;    // "DWORD" or "SZ", or null when the type or the number is not usable
    uint32_t m_dwValue = 0;   // the data when the type is "DWORD"
    OwnedString m_pszValue;   // the data when the type is "SZ"
};

// L line: one shortcut.
struct ShortcutEntry {
    OwnedString m_pszLink;         // path of the shortcut file to create
    OwnedString m_pszTarget;       // what the shortcut points to
    OwnedString m_pszDescription;  // the shortcut's description
};

// H line: a name fragment that marks files as shared.
struct SharedFileEntry {
    std::string m_strFragment;
};

struct FileList {
    std::unique_ptr<FileEntry[]> m_pFiles;
    int m_nFiles = 0;
    std::unique_ptr<RegistryEntry[]> m_pRegEntries;
    int m_nRegEntries = 0;
    std::unique_ptr<ShortcutEntry[]> m_pShortcuts;
    int m_nShortcuts = 0;
    std::unique_ptr<SharedFileEntry[]> m_pSharedFiles;
    int m_nSharedFiles = 0;

    // Destroys every record and frees the four arrays.
    void Clear();
};

// Expands the path macros of one record text in place.
using MacroExpander = std::function<void(std::string& text)>;

// Loads a file list from its scrambled bytes into |list| (whose previous
// records are released first) and |defaultDestDir| (set by each X line, kept
// otherwise). True when every line was consumed; false when a line with an
// unknown record letter stopped the load (the records before it are filled,
// the rest stay empty) or a line is longer than kMaxLineContent characters
// (nothing is loaded: a cut path would install somewhere unintended).
bool ParseFileList(const uint8_t* scrambled, size_t size, const MacroExpander& expand, FileList& list,
                   std::string& defaultDestDir);

// True when |text| contains one of the list's shared-file fragments, ignoring
// the case of ASCII letters. An empty fragment occurs in every text.
bool ContainsSharedFragment(const FileList& list, const char* text);

// The program's one file list and default destination directory.
extern FileList theFileList;
extern std::string DefaultDestDir;

// ContainsSharedFragment on the program's file list.
bool IsSharedFile(const char* text);
