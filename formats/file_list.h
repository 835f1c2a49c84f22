// The in-memory file list: what "setup.drc" asks the installation to do.
//
// One vector of records per kind, in file order, plus the default
// destination directory. Every text has its path macros expanded before it
// is split and stored. The kinds of line the list may hold are the table
// kRecordKinds: the loader, mksetup's checker and the fuzz targets all read
// the letters from there (a new letter: docs/how-to-add-an-effect.md).
#pragma once

#include "base/legacy_text.h"
#include "formats/owned_string.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

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
    std::vector<FileEntry> m_files;              // F lines
    std::vector<RegistryEntry> m_regEntries;     // K lines
    std::vector<ShortcutEntry> m_shortcuts;      // L lines
    std::vector<SharedFileEntry> m_sharedFiles;  // H lines
    // The product's version (V line) and publisher (P line) that Add/Remove
    // Programs shows; empty when the list has none (the last line counts).
    std::string m_strProductVersion;
    std::string m_strPublisher;
    // The separators of the lines that are split into fields after
    // "?APPDIR?" is put into them: a destination directory holding one of
    // them would add fields to such a line, so it is refused.
    std::string m_appDirSeparators;

    // Destroys every record, of every kind.
    void Clear();
};

// How the text of a line (from its third byte on) is divided into fields,
// after its macros are expanded. A missing separator leaves the field
// before it empty and gives the field after it the rest (list_format.h).
enum class RecordFields {
    kNone,           // nothing is read: a comment
    kWhole,          // one field, the whole text
    kAtFirst,        // two: split at the first separator
    kAtFirstAndLast, // three: split at the first and at the last separator
};

// The fields of one line as the loader reads them, in order.
using RecordTexts = std::vector<std::string>;

// One kind of line of the file list.
struct RecordKind {
    char letter;            // upper case; a line's letter counts without regard to case
    RecordFields fields;    // how its text is split
    const char* names[3];   // what each field holds, for the checker's messages (as many as there are fields)
    // Stores the fields of one line, |sep| being the line's separator, in
    // |list| or |defaultDestDir|. Null for a comment.
    void (*store)(const RecordTexts& fields, char sep, FileList& list, std::string& defaultDestDir);
};

// Every kind of line there is: F, K, L, H, X, V, P, U and ';'. A line of
// another letter stops the loader (and an earlier installer at V and P, which
// it does not know: it refuses such a medium before it changes anything).
extern const RecordKind kRecordKinds[];
extern const size_t kRecordKindCount;

// The kind of |letter|, taken without regard to case; null when no kind has it.
const RecordKind* RecordKindOf(char letter);

// The number of fields a text is split into.
size_t RecordFieldCount(RecordFields fields);

// Splits |text| into the fields of |fields| at |sep|.
RecordTexts SplitRecordText(RecordFields fields, const std::string& text, char sep);

// Expands the path macros of one record text in place.
using MacroExpander = std::function<void(std::string& text)>;

// The text of the U line ("U;UTF-8") that marks a list, and the medium's
// setup.sum, as UTF-8. A list without it was written in a Windows code page
// (by earlier versions, which knew no other): it is read in the system's
// ANSI code page. An installer that knows no U line stops at it, so a list
// that holds more than ASCII is refused by earlier versions rather than
// misread; a list of ASCII text needs no marker and reads the same either way.
extern const char kUtf8ListMarker[];

// The text encoding the plain list lines |lines| declare: true when one of
// them is a U line ("UTF-8", in any case, is the only value); |known| is
// false when a U line names another.
struct ListLine;
bool ListMarksUtf8(const std::vector<ListLine>& lines, bool* known = nullptr);

// True when the UTF-8 |list| needs the U line that marks it as UTF-8: when
// it holds more than ASCII, or |medium| says the medium's other texts do,
// and has no U line. The installer reads a list without it in the system's
// code page, and an earlier installer refuses a list with it; a list of
// ASCII text stays as it is, byte for byte.
bool NeedsUtf8Marker(const std::vector<uint8_t>& list, bool medium);
// Puts the U line at the top of |list|.
void AddUtf8Marker(std::vector<uint8_t>& list);
// The plain list |list| as the installer scrambles it into setup.drc: a
// list in UTF-8 (one that starts with a byte order mark, which goes, or one
// that is valid UTF-8 beyond ASCII) gets the U line unless it has one; any
// other is left as written, in a code page.
void MarkPlainList(std::vector<uint8_t>& list);

// Loads a file list from its scrambled bytes into |list| (whose previous
// records are released first) and |defaultDestDir| (set by each X line, kept
// otherwise). True when every line was consumed; false when a line with an
// unknown record letter stopped the load (the records before it are filled)
// or a line is longer than kMaxLineContent characters (nothing is loaded: a
// cut path would install somewhere unintended). A list marked UTF-8 must be
// UTF-8 throughout; any other is converted, line by line before anything of
// it is split, from |legacyCodePage| (a line that is not text there stops
// the load, as does a U line that names another encoding).
bool ParseFileList(const uint8_t* scrambled, size_t size, const MacroExpander& expand, FileList& list,
                   std::string& defaultDestDir, unsigned legacyCodePage = SystemAnsiCodePage());

// True when |text| contains one of the shared-file fragments of |list|,
// ignoring the case of ASCII letters. An empty fragment occurs in every text.
bool IsSharedFile(const FileList& list, const char* text);
