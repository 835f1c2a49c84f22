// The medium's overlay: bytes appended to setup.exe after its PE image that
// carry a whole distribution (a single-file medium) or the digest of the
// folder's setup.sum (a folder medium). Layout (docs/medium-overlay.md):
//
//   [PE image][header, 64 bytes][items ...][table][zero padding to 8][certificate table]?
//
// The overlay starts where the image ends, found from the PE headers, never
// from the end of the file, because a signature may follow it. Win32-free:
// the installer reads the bytes with its own file handle, mksetup through
// the C library; both parse and check them here.
#pragma once

#include "base/sha256.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

constexpr char kOverlayMagic[8] = {'S', 'E', 'T', 'U', 'P', 'O', 'V', '1'};
constexpr uint32_t kOverlayHeaderSize = 64;
// The bytes from the start of a file that ReadPeLayout needs at most: a PE
// file whose headers and section table lie further in is not read.
constexpr size_t kPeHeadSize = 4096;
// Tables larger than this are refused before they are read (about 200 000
// entries with long names).
constexpr uint64_t kMaxOverlayTableSize = 16u << 20;

// Where things lie in a PE file, from its headers.
struct PeLayout {
    uint64_t imageEnd = 0;           // first byte after the image: where an overlay starts
    uint64_t certificateOffset = 0;  // the certificate table (security data directory); 0 with no table
    uint64_t certificateSize = 0;    // 0 when the file is not signed
    uint64_t certificateEntry = 0;   // where the security data directory's 8 bytes lie in the file (0: none)
};

// Reads the layout from the first |size| bytes of a PE file (the DOS header,
// the PE header and the section table must lie within them; reading
// min(file size, kPeHeadSize) bytes is enough for any file mksetup writes).
// The image ends after the section whose raw data ends last, and not before
// SizeOfHeaders. False, with |problem| set, when the bytes are not such a PE
// file.
bool ReadPeLayout(const uint8_t* head, size_t size, PeLayout& out, std::string* problem = nullptr);

// What follows the image of a file of |fileSize| bytes with |layout|.
enum class AfterImage {
    kNothing,      // the file ends with the image: a bare, unsigned setup.exe
    kCertificate,  // only the certificate table (after zero padding to 8): a bare, signed setup.exe
    kOverlay,      // anything else: it must be an overlay, read from layout.imageEnd
};
AfterImage WhatFollowsImage(const PeLayout& layout, uint64_t fileSize);

enum class OverlayKind : uint8_t {
    kFile = 0,         // a medium file under its name ("setup.drc", "setup.sum", a payload, ...)
    kProductName = 1,  // the product name given to mksetup build --product-name
    kUninstaller = 2,  // the bare setup.exe (signed when the medium is), installed as uninstall.exe
    kSumDigest = 3,    // 32 bytes: SHA-256 of the setup.sum of the folder this setup.exe lies in
    // No bytes: this program is an installed product's uninstaller and
    // installs nothing. The uninstaller a single file carries has it inside
    // its signed bytes, so that the publisher's signature on it never
    // vouches for installing whatever folder it is put beside.
    kUninstallerOnly = 4,
    // No bytes: the uninstaller is this file's image followed by
    // UninstallerMark(), which an unsigned single file is made of, so it is
    // not carried twice. (A signed one carries its separately signed
    // uninstaller as kUninstaller.)
    kUninstallerIsImage = 5,
};

struct OverlayHeader {
    uint32_t entryCount = 0;
    uint64_t overlaySize = 0;  // header + items + table
    uint64_t tableOffset = 0;  // from the overlay's start
    Sha256Digest digest{};     // of every overlay byte after the header

    uint64_t TableSize() const { return overlaySize - tableOffset; }
};

// One entry of the table. Offsets count from the overlay's start.
struct OverlayItem {
    OverlayKind kind = OverlayKind::kFile;
    std::string name;  // only files have one
    uint64_t offset = 0;
    uint64_t size = 0;
};

// Parses the header from the |size| bytes at the overlay's start, where
// |available| bytes of the file lie from that start to its end. Checks the
// magic, the header size, that the overlay fits in |available|, that the
// table lies after the header and within the overlay, is not larger than
// kMaxOverlayTableSize and can hold entryCount entries. False, with
// |problem| set, otherwise.
bool ParseOverlayHeader(const uint8_t* data, size_t size, uint64_t available, OverlayHeader& out,
                        std::string* problem = nullptr);

// Parses the table: the |size| bytes from header.tableOffset to the
// overlay's end (size must be header.TableSize()). Exactly entryCount entries
// must fill it; every item lies inside [header size, table offset); no two
// items overlap; a file has a name (not empty, no control character) that no
// other file has as setup.sum compares names; other kinds have no name and
// appear at most once; a sum digest is 32 bytes; the uninstaller mark has no
// bytes; no other kind is known.
// False, with |problem| set and |out| empty, otherwise.
bool ParseOverlayTable(const OverlayHeader& header, const uint8_t* table, size_t size,
                       std::vector<OverlayItem>& out, std::string* problem = nullptr);

// Checks what follows an overlay that ends at |overlayEnd| (from the file's
// start) in a file of |fileSize| bytes: either nothing, when the file is not
// signed, or zero padding to the next multiple of 8 and then exactly the
// certificate table that |layout| names, running to the file's end. On
// success |paddingSize| is the number of padding bytes (0 to 7), which the
// caller reads at overlayEnd and checks with IsZeroPadding. False, with
// |problem| set, otherwise.
bool CheckOverlayTail(const PeLayout& layout, uint64_t overlayEnd, uint64_t fileSize, uint64_t& paddingSize,
                      std::string* problem = nullptr);

// True when all |size| bytes at |data| are zero.
bool IsZeroPadding(const uint8_t* data, size_t size);

// Tables larger than this are refused before they are read; a signature
// with its chain of certificates takes a few kilobytes.
constexpr uint64_t kMaxCertificateTableSize = 1u << 20;

// Checks the |size| bytes of a certificate table: one entry, a PKCS#7
// signature (revision 2.0, type 2) whose DER length accounts for every byte
// of it, and nothing after it but the zero padding to the next multiple of
// 8. Bytes added beside the signature are not covered by it: such a table is
// refused, as is any other kind of entry. False, with |problem| set, then.
bool CheckCertificateTable(const uint8_t* table, size_t size, std::string* problem = nullptr);

// The first item of |kind| (for files: named |name| as setup.sum compares
// names), or null.
const OverlayItem* FindOverlayItem(const std::vector<OverlayItem>& items, OverlayKind kind,
                                   const std::string& name = std::string());

// A whole file read into memory, checked: its PE layout, and an overlay when
// one follows the image, with its header, table, digest and tail.
struct OverlayFile {
    PeLayout layout;
    bool present = false;  // false: a bare setup.exe, signed or not
    OverlayHeader header;
    std::vector<OverlayItem> items;
};
// Reads the |size| bytes of a whole file at |file|. True for a bare PE file
// and for one whose overlay passes every check above and whose digest
// matches; false, with |problem| set, otherwise. Item bytes lie at
// file + layout.imageEnd + item.offset.
bool ReadOverlayFile(const uint8_t* file, size_t size, OverlayFile& out, std::string* problem = nullptr);

// True when |items| is the overlay of a program marked as an uninstaller:
// the mark alone.
bool IsUninstallerOnly(const std::vector<OverlayItem>& items);
// The overlay that marks a program as an uninstaller: kUninstallerOnly alone.
std::string UninstallerMark();
// The uninstaller that kUninstallerIsImage names: the |layout.imageEnd|
// bytes of the image at |image|, naming no certificate table (the file may
// have been signed since it was built; the copy carries no signature), and
// UninstallerMark().
std::string UninstallerOfImage(const uint8_t* image, const PeLayout& layout);

// Writes an overlay at the current position of a binary file open for
// writing (and reading back is not needed): the position must be the end of
// the PE image it is appended to. Items follow one another in the order they
// are added, then the table; the header, which holds their digest, is
// written last over its placeholder.
class OverlayWriter {
public:
    explicit OverlayWriter(std::FILE* file);
    OverlayWriter(const OverlayWriter&) = delete;
    OverlayWriter& operator=(const OverlayWriter&) = delete;

    // Appends one item of |size| bytes at |data|. |name| is for files only.
    void Add(OverlayKind kind, const std::string& name, const void* data, size_t size);
    // Writes the table and the header and leaves the file's position at the
    // overlay's end. False, with |problem| set, after a failed write or an
    // item set that ParseOverlayTable would refuse (a name twice, ...).
    bool Finish(std::string* problem = nullptr);
    // The overlay's size once finished.
    uint64_t Size() const { return m_offset; }

private:
    bool Write(const void* data, size_t size);

    std::FILE* m_file;
    std::fpos_t m_start{};
    bool m_ok = true;
    uint64_t m_offset = 0;  // from the overlay's start
    std::vector<OverlayItem> m_items;
    Sha256 m_hash;
};

// The same overlay in memory: |items| with their bytes in |contents| (one
// per item, in order); offsets and sizes in |items| are set here. For tests
// and seeds; an item set the table cannot hold gives an empty text.
std::string FormatOverlay(std::vector<OverlayItem> items, const std::vector<std::string>& contents);
