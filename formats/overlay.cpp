#include "formats/overlay.h"

#include "formats/setup_sum.h"

#include <algorithm>
#include <cstring>

namespace {

// u8 kind, u16 name length, the name, u64 offset, u64 size.
constexpr uint64_t kMinEntrySize = 1 + 2 + 8 + 8;
// Sections a PE file may have (the Windows loader's limit).
constexpr uint32_t kMaxSections = 96;

uint64_t ReadLe(const uint8_t* at, size_t bytes) {
    uint64_t value = 0;
    for (size_t i = bytes; i-- > 0;) value = (value << 8) | at[i];
    return value;
}

void PutLe(std::string& out, uint64_t value, size_t bytes) {
    for (size_t i = 0; i < bytes; ++i) out += char(uint8_t(value >> (8 * i)));
}

bool Fail(std::string* problem, const std::string& text) {
    if (problem) *problem = text;
    return false;
}

uint64_t AlignUp8(uint64_t value) { return (value + 7) & ~uint64_t(7); }

std::string FormatTable(const std::vector<OverlayItem>& items) {
    std::string table;
    for (const OverlayItem& item : items) {
        table += char(item.kind);
        PutLe(table, item.name.size(), 2);
        table += item.name;
        PutLe(table, item.offset, 8);
        PutLe(table, item.size, 8);
    }
    return table;
}

std::string FormatHeader(uint32_t count, uint64_t overlaySize, uint64_t tableOffset, const Sha256Digest& digest) {
    std::string header(kOverlayMagic, sizeof kOverlayMagic);
    PutLe(header, kOverlayHeaderSize, 4);
    PutLe(header, count, 4);
    PutLe(header, overlaySize, 8);
    PutLe(header, tableOffset, 8);
    header.append(reinterpret_cast<const char*>(digest.data()), digest.size());
    return header;
}

}  // namespace

bool ReadPeLayout(const uint8_t* head, size_t size, PeLayout& out, std::string* problem) {
    out = PeLayout();
    if (size < 0x40 || head[0] != 'M' || head[1] != 'Z') return Fail(problem, "not an MZ executable");
    const uint64_t pe = ReadLe(head + 0x3C, 4);
    if (pe > size || size - pe < 24 || ReadLe(head + pe, 4) != 0x4550)
        return Fail(problem, "no PE header within the first bytes");
    const uint32_t sections = uint32_t(ReadLe(head + pe + 6, 2));
    const uint64_t optionalSize = ReadLe(head + pe + 20, 2);
    const uint64_t optional = pe + 24;
    if (size - optional < optionalSize) return Fail(problem, "the optional header is cut short");
    if (optionalSize < 2) return Fail(problem, "no optional header");
    // Where the count of data directories and the directories lie: PE32 or PE32+.
    uint64_t countAt;
    switch (ReadLe(head + optional, 2)) {
    case 0x10B: countAt = 92; break;
    case 0x20B: countAt = 108; break;
    default: return Fail(problem, "an optional header of unknown kind");
    }
    if (optionalSize < countAt + 4) return Fail(problem, "the optional header is too short");
    const uint64_t headersSize = ReadLe(head + optional + 60, 4);
    const uint64_t directories = ReadLe(head + optional + countAt, 4);
    const uint64_t certificateEntry = countAt + 4 + 4 * 8;
    if (directories > 4) {
        if (optionalSize < certificateEntry + 8) return Fail(problem, "the data directories are cut short");
        out.certificateEntry = optional + certificateEntry;
        out.certificateOffset = ReadLe(head + optional + certificateEntry, 4);
        out.certificateSize = ReadLe(head + optional + certificateEntry + 4, 4);
        if (out.certificateSize == 0) out.certificateOffset = 0;
    }
    if (sections > kMaxSections) return Fail(problem, "more sections than Windows loads");
    const uint64_t table = optional + optionalSize;
    if (size - table < uint64_t(sections) * 40) return Fail(problem, "the section table is not within the first bytes");
    if (headersSize < table + uint64_t(sections) * 40) return Fail(problem, "SizeOfHeaders ends within the headers");
    uint64_t end = headersSize;
    for (uint32_t i = 0; i < sections; ++i) {
        const uint8_t* section = head + table + 40 * uint64_t(i);
        const uint64_t rawSize = ReadLe(section + 16, 4);
        const uint64_t rawPointer = ReadLe(section + 20, 4);
        if (rawSize != 0) end = std::max(end, rawPointer + rawSize);
    }
    out.imageEnd = end;
    return true;
}

AfterImage WhatFollowsImage(const PeLayout& layout, uint64_t fileSize) {
    if (fileSize == layout.imageEnd && layout.certificateSize == 0) return AfterImage::kNothing;
    if (layout.certificateSize != 0 && layout.certificateOffset == AlignUp8(layout.imageEnd) &&
        layout.certificateOffset + layout.certificateSize == fileSize)
        return AfterImage::kCertificate;
    return AfterImage::kOverlay;
}

bool ParseOverlayHeader(const uint8_t* data, size_t size, uint64_t available, OverlayHeader& out,
                        std::string* problem) {
    out = OverlayHeader();
    if (size < kOverlayHeaderSize || available < kOverlayHeaderSize)
        return Fail(problem, "the file ends within the overlay's header");
    if (std::memcmp(data, kOverlayMagic, sizeof kOverlayMagic) != 0)
        return Fail(problem, "no overlay header where the image ends");
    if (ReadLe(data + 8, 4) != kOverlayHeaderSize) return Fail(problem, "an overlay header of unknown size");
    OverlayHeader header;
    header.entryCount = uint32_t(ReadLe(data + 12, 4));
    header.overlaySize = ReadLe(data + 16, 8);
    header.tableOffset = ReadLe(data + 24, 8);
    std::memcpy(header.digest.data(), data + 32, header.digest.size());
    if (header.overlaySize > available) return Fail(problem, "the overlay runs past the end of the file");
    if (header.tableOffset < kOverlayHeaderSize || header.tableOffset > header.overlaySize)
        return Fail(problem, "the table of contents lies outside the overlay");
    if (header.TableSize() > kMaxOverlayTableSize) return Fail(problem, "the table of contents is too large");
    if (uint64_t(header.entryCount) * kMinEntrySize > header.TableSize())
        return Fail(problem, "the table of contents is too short for its entries");
    out = header;
    return true;
}

bool ParseOverlayTable(const OverlayHeader& header, const uint8_t* table, size_t size,
                       std::vector<OverlayItem>& out, std::string* problem) {
    out.clear();
    if (size != header.TableSize()) return Fail(problem, "the table of contents is not as long as the header says");
    std::vector<OverlayItem> items;
    items.reserve(header.entryCount);
    size_t at = 0;
    for (uint32_t i = 0; i < header.entryCount; ++i) {
        const std::string where = "entry " + std::to_string(i + 1) + ": ";
        if (size - at < kMinEntrySize) return Fail(problem, where + "cut short");
        OverlayItem item;
        const uint8_t kind = table[at];
        const size_t nameSize = size_t(ReadLe(table + at + 1, 2));
        at += 3;
        if (size - at < nameSize + 16) return Fail(problem, where + "cut short");
        item.name.assign(reinterpret_cast<const char*>(table + at), nameSize);
        at += nameSize;
        item.offset = ReadLe(table + at, 8);
        item.size = ReadLe(table + at + 8, 8);
        at += 16;
        if (kind > uint8_t(OverlayKind::kUninstallerIsImage)) return Fail(problem, where + "of unknown kind");
        item.kind = OverlayKind(kind);
        if (item.kind == OverlayKind::kFile) {
            if (!IsValidSumName(item.name)) return Fail(problem, where + "the name is empty or holds a control character");
        } else if (!item.name.empty()) {
            return Fail(problem, where + "a name where none belongs");
        }
        if (item.kind == OverlayKind::kSumDigest && item.size != 32) return Fail(problem, where + "a digest not of 32 bytes");
        if ((item.kind == OverlayKind::kUninstallerOnly || item.kind == OverlayKind::kUninstallerIsImage) &&
            item.size != 0)
            return Fail(problem, where + "bytes in the uninstaller's mark");
        if (item.offset < kOverlayHeaderSize || item.offset > header.tableOffset ||
            item.size > header.tableOffset - item.offset)
            return Fail(problem, where + "lies outside the items");
        items.push_back(std::move(item));
    }
    if (at != size) return Fail(problem, "bytes after the last entry of the table of contents");

    std::vector<const OverlayItem*> byOffset;
    for (const OverlayItem& item : items) byOffset.push_back(&item);
    std::sort(byOffset.begin(), byOffset.end(),
              [](const OverlayItem* a, const OverlayItem* b) { return a->offset < b->offset; });
    for (size_t i = 1; i < byOffset.size(); ++i)
        if (byOffset[i - 1]->offset + byOffset[i - 1]->size > byOffset[i]->offset)
            return Fail(problem, "two items overlap");

    // Files by name as setup.sum compares them; the other kinds once each.
    std::vector<std::pair<std::string, const std::string*>> names;
    bool seen[size_t(OverlayKind::kUninstallerIsImage) + 1] = {};
    for (const OverlayItem& item : items) {
        if (item.kind == OverlayKind::kFile) {
            names.emplace_back(SumNameKey(item.name), &item.name);
        } else if (seen[size_t(item.kind)]) {
            return Fail(problem, "an entry of kind " + std::to_string(int(item.kind)) + " twice");
        } else {
            seen[size_t(item.kind)] = true;
        }
    }
    std::sort(names.begin(), names.end());
    for (size_t i = 1; i < names.size(); ++i)
        if (names[i - 1].first == names[i].first) return Fail(problem, "the file " + *names[i].second + " twice");
    out = std::move(items);
    return true;
}

bool CheckOverlayTail(const PeLayout& layout, uint64_t overlayEnd, uint64_t fileSize, uint64_t& paddingSize,
                      std::string* problem) {
    paddingSize = 0;
    if (overlayEnd > fileSize) return Fail(problem, "the overlay runs past the end of the file");
    if (layout.certificateSize == 0) {
        if (overlayEnd != fileSize) return Fail(problem, std::to_string(fileSize - overlayEnd) + " bytes follow the overlay");
        return true;
    }
    if (layout.certificateOffset != AlignUp8(overlayEnd))
        return Fail(problem, "the certificate table does not follow the overlay");
    if (layout.certificateOffset > fileSize || layout.certificateSize != fileSize - layout.certificateOffset)
        return Fail(problem, "the certificate table does not end with the file");
    paddingSize = layout.certificateOffset - overlayEnd;
    return true;
}

bool IsZeroPadding(const uint8_t* data, size_t size) {
    for (size_t i = 0; i < size; ++i)
        if (data[i] != 0) return false;
    return true;
}

bool CheckCertificateTable(const uint8_t* table, size_t size, std::string* problem) {
    constexpr size_t kEntryHeader = 8;  // dwLength, wRevision, wCertificateType
    if (size < kEntryHeader + 2 || size > kMaxCertificateTableSize)
        return Fail(problem, "the certificate table's size is not that of a signature");
    const uint64_t length = ReadLe(table, 4);
    if (ReadLe(table + 4, 2) != 0x0200 || ReadLe(table + 6, 2) != 0x0002)
        return Fail(problem, "the certificate table holds something other than a signature");
    if (length < kEntryHeader + 2 || length > size || AlignUp8(length) != size)
        return Fail(problem, "the certificate table holds more than its one entry");
    // The signature is one DER SEQUENCE: a tag, its length (short form, or
    // long form in up to four bytes), its contents.
    const uint8_t* der = table + kEntryHeader;
    const size_t room = size - kEntryHeader;
    if (der[0] != 0x30) return Fail(problem, "the certificate table's signature is not a DER sequence");
    size_t header = 2;
    uint64_t contents = der[1];
    if (contents & 0x80) {
        const size_t bytes = contents & 0x7F;
        if (bytes == 0 || bytes > 4 || 2 + bytes > room)
            return Fail(problem, "the certificate table's signature has no usable length");
        header += bytes;
        contents = 0;
        for (size_t i = 0; i < bytes; ++i) contents = (contents << 8) | der[2 + i];
    }
    if (header + contents > room) return Fail(problem, "the certificate table's signature runs past the table");
    const size_t end = kEntryHeader + size_t(header + contents);
    if (size - end >= 8 || !IsZeroPadding(table + end, size - end))
        return Fail(problem, "the certificate table holds bytes beside its signature");
    return true;
}

const OverlayItem* FindOverlayItem(const std::vector<OverlayItem>& items, OverlayKind kind, const std::string& name) {
    for (const OverlayItem& item : items)
        if (item.kind == kind && (kind != OverlayKind::kFile || SameSumName(item.name, name))) return &item;
    return nullptr;
}

bool ReadOverlayFile(const uint8_t* file, size_t size, OverlayFile& out, std::string* problem) {
    out = OverlayFile();
    if (!ReadPeLayout(file, std::min(size, kPeHeadSize), out.layout, problem)) return false;
    if (out.layout.imageEnd > size) return Fail(problem, "the file ends within its image");
    const AfterImage after = WhatFollowsImage(out.layout, size);
    if (out.layout.certificateSize != 0 && out.layout.certificateOffset + out.layout.certificateSize == size &&
        !CheckCertificateTable(file + out.layout.certificateOffset, size_t(out.layout.certificateSize), problem))
        return false;
    if (after != AfterImage::kOverlay)
        return after == AfterImage::kNothing || IsZeroPadding(file + out.layout.imageEnd,
                                                              size_t(out.layout.certificateOffset - out.layout.imageEnd)) ||
               Fail(problem, "bytes other than zero before the certificate table");
    const uint8_t* start = file + out.layout.imageEnd;
    const uint64_t available = size - out.layout.imageEnd;
    if (!ParseOverlayHeader(start, size_t(available), available, out.header, problem)) return false;
    const OverlayHeader& header = out.header;
    if (!ParseOverlayTable(header, start + header.tableOffset, size_t(header.TableSize()), out.items, problem))
        return false;
    uint64_t padding = 0;
    if (!CheckOverlayTail(out.layout, out.layout.imageEnd + header.overlaySize, size, padding, problem)) return false;
    if (!IsZeroPadding(start + header.overlaySize, size_t(padding)))
        return Fail(problem, "bytes other than zero before the certificate table");
    Sha256Digest digest;
    if (!HashBytes(start + kOverlayHeaderSize, size_t(header.overlaySize - kOverlayHeaderSize), digest))
        return Fail(problem, "cannot compute the overlay's SHA-256");
    if (digest != header.digest) return Fail(problem, "the overlay's SHA-256 differs: its bytes are not as packed");
    out.present = true;
    return true;
}

OverlayWriter::OverlayWriter(std::FILE* file) : m_file(file) {
    m_ok = std::fgetpos(file, &m_start) == 0;
    const std::string placeholder(kOverlayHeaderSize, '\0');
    m_ok = m_ok && std::fwrite(placeholder.data(), 1, placeholder.size(), m_file) == placeholder.size();
    m_offset = kOverlayHeaderSize;
}

bool OverlayWriter::Write(const void* data, size_t size) {
    if (!m_ok || size == 0) return m_ok;
    m_hash.Update(data, size);
    m_ok = std::fwrite(data, 1, size, m_file) == size;
    m_offset += size;
    return m_ok;
}

void OverlayWriter::Add(OverlayKind kind, const std::string& name, const void* data, size_t size) {
    m_items.push_back(OverlayItem{kind, name, m_offset, size});
    Write(data, size);
}

bool OverlayWriter::Finish(std::string* problem) {
    const uint64_t tableOffset = m_offset;
    const std::string table = FormatTable(m_items);
    Write(table.data(), table.size());
    Sha256Digest digest;
    if (!m_ok || !m_hash.Finish(digest)) return Fail(problem, "cannot write the overlay");
    const std::string header = FormatHeader(uint32_t(m_items.size()), m_offset, tableOffset, digest);
    OverlayHeader parsed;
    std::vector<OverlayItem> items;
    if (m_items.size() > UINT32_MAX ||
        !ParseOverlayHeader(reinterpret_cast<const uint8_t*>(header.data()), header.size(), m_offset, parsed, problem) ||
        !ParseOverlayTable(parsed, reinterpret_cast<const uint8_t*>(table.data()), table.size(), items, problem))
        return false;
    std::fpos_t end;
    if (std::fgetpos(m_file, &end) != 0 || std::fsetpos(m_file, &m_start) != 0 ||
        std::fwrite(header.data(), 1, header.size(), m_file) != header.size() || std::fsetpos(m_file, &end) != 0)
        return Fail(problem, "cannot write the overlay");
    return true;
}

std::string FormatOverlay(std::vector<OverlayItem> items, const std::vector<std::string>& contents) {
    if (items.size() != contents.size()) return std::string();
    std::string body;
    for (size_t i = 0; i < items.size(); ++i) {
        items[i].offset = kOverlayHeaderSize + body.size();
        items[i].size = contents[i].size();
        body += contents[i];
    }
    const uint64_t tableOffset = kOverlayHeaderSize + body.size();
    body += FormatTable(items);
    Sha256Digest digest;
    if (!HashBytes(body.data(), body.size(), digest)) return std::string();
    const std::string header = FormatHeader(uint32_t(items.size()), kOverlayHeaderSize + body.size(), tableOffset, digest);
    OverlayHeader parsed;
    std::vector<OverlayItem> back;
    const uint64_t size = header.size() + body.size();
    if (!ParseOverlayHeader(reinterpret_cast<const uint8_t*>(header.data()), header.size(), size, parsed) ||
        !ParseOverlayTable(parsed, reinterpret_cast<const uint8_t*>(body.data()) + tableOffset - kOverlayHeaderSize,
                           size_t(parsed.TableSize()), back))
        return std::string();
    return header + body;
}

std::string UninstallerMark() {
    return FormatOverlay({OverlayItem{OverlayKind::kUninstallerOnly, "", 0, 0}}, {std::string()});
}

std::string UninstallerOfImage(const uint8_t* image, const PeLayout& layout) {
    std::string made(reinterpret_cast<const char*>(image), size_t(layout.imageEnd));
    if (layout.certificateEntry != 0 && layout.certificateEntry + 8 <= made.size())
        std::fill(made.begin() + long(layout.certificateEntry), made.begin() + long(layout.certificateEntry + 8), '\0');
    return made + UninstallerMark();
}

bool IsUninstallerOnly(const std::vector<OverlayItem>& items) {
    return items.size() == 1 && items[0].kind == OverlayKind::kUninstallerOnly;
}
