// "setup.sum": what every file of a distribution holds once expanded, so
// that damage shows before a damaged file is placed. Text, one file a line:
//
//   setup.sum 1
//   <SHA-256, 64 hex digits> <size in bytes> <name>
//
// or, as mksetup writes it since it names the packed bytes too,
//
//   setup.sum 2
//   <SHA-256> <size in bytes> <SHA-256 of the packed file> <its size> <name>
//
// For a payload the size and digest are those of its expanded content, and
// in version 2 also those of the payload file as packed, so that its bytes
// are checked before any of them reaches a decoder; for setup.drc,
// Setup2.txt and terms.txt both are those of the file itself. The name is
// the one the file list uses (or "setup.drc", ...), compared without regard to the case of
// ASCII letters and with / and \ alike. Lines end with LF or CR LF.
#pragma once

#include "formats/medium_files.h"
#include "base/sha256.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct SumEntry {
    std::string name;
    uint64_t size = 0;
    Sha256Digest sha256{};
    bool packed = false;  // the packed file's size and digest are known (version 2)
    uint64_t packedSize = 0;
    Sha256Digest packedSha256{};

    bool Matches(uint64_t actualSize, const Sha256Digest& actual) const {
        return actualSize == size && actual == sha256;
    }
};

// Names and their positions in a list kept elsewhere, found by binary search
// as setup.sum compares names (SameSumName): an installation looks up every
// file it places.
class SumNameIndex {
public:
    // Adds |name| at |position|; false (nothing added) when a name of the
    // same file is there already.
    bool Add(const std::string& name, uint32_t position);
    // The position of |name|; false when there is none.
    bool Find(const std::string& name, uint32_t& position) const;
    void Clear() { m_sorted.clear(); }

private:
    // Where |name| is, or would go, in m_sorted.
    std::vector<std::pair<std::string, uint32_t>>::const_iterator Lower(const std::string& name) const;

    std::vector<std::pair<std::string, uint32_t>> m_sorted;
};

class SetupSum {
public:
    // Replaces the entries with those of |text|. False when the text is not a
    // setup.sum of this version in every line, or names a file twice; then
    // |problem| says where and what, and no entry is kept.
    bool Parse(const uint8_t* text, size_t length, std::string* problem = nullptr);
    // The text of the entries, in their order: version 2 when any entry
    // knows its packed file (an entry that does not then names its own
    // size and digest for it), version 1 otherwise.
    std::string Format() const;

    // Adds an entry; false (and nothing added) when its name is already there
    // or cannot stand in the text (empty, or holding a control character).
    bool Add(SumEntry entry);
    // The entry of |name| by SameSumName; null when there is none.
    const SumEntry* Find(const std::string& name) const;
    const std::vector<SumEntry>& Entries() const { return m_entries; }

private:
    std::vector<SumEntry> m_entries;
    SumNameIndex m_byName;  // positions in m_entries by name
};

// True when the names |a| and |b| name the same file: equal but for the case
// of ASCII letters, with / and \ alike.
bool SameSumName(const std::string& a, const std::string& b);
// True when |name| can stand in setup.sum: not empty, no control character.
bool IsValidSumName(const std::string& name);
// The form of |name| in which names compare: ASCII letters upper case, / as
// \. SameSumName(a, b) is SumNameKey(a) == SumNameKey(b); for sorting.
std::string SumNameKey(std::string name);

// True for the medium's own files (setup.drc, Setup2.txt, terms.txt), whose
// entry is that of the file as it lies; false for payloads, whose entry is
// that of their expanded content.
bool IsSummedAsStored(const std::string& name);

// The lower-case hexadecimal text of a digest.
std::string DigestHex(const Sha256Digest& digest);

// What the installer checks its files against: loaded at start-up from the
// distribution's setup.sum (Medium::Load). |present| is false for a
// distribution without one.
struct DistributionSum {
    bool present = false;
    SetupSum sum;
};
