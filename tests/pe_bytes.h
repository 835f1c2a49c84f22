// Small PE files for the tests of the medium's overlay: real headers, a
// section table, raw section data of made-up bytes, and a certificate table
// appended the way signing tools append it.
#pragma once

#include <cstdint>
#include <string>

namespace pe_bytes {

inline void Put(std::string& data, size_t at, uint64_t value, size_t bytes) {
    for (size_t i = 0; i < bytes; ++i) data[at + i] = char(uint8_t(value >> (8 * i)));
}

// Where the certificate table's data directory entry lies in a file made by
// Image(|pe32plus|).
inline size_t CertificateEntry(bool pe32plus) { return 0x40 + 24 + (pe32plus ? 144 : 128); }

// A PE32 (or PE32+) image of 0x200 bytes of headers and two sections of raw
// data, 0x200 and 0x400 bytes, listed last one first, and a third without
// raw data. The image ends at 0x800.
inline std::string Image(bool pe32plus = false) {
    const size_t optionalSize = pe32plus ? 240 : 224;
    std::string pe(0x800, '\0');
    pe[0] = 'M', pe[1] = 'Z';
    Put(pe, 0x3C, 0x40, 4);
    pe.replace(0x40, 4, std::string("PE\0\0", 4));
    const size_t file = 0x44;
    Put(pe, file, pe32plus ? 0x8664 : 0x14C, 2);
    Put(pe, file + 2, 3, 2);  // sections
    Put(pe, file + 16, optionalSize, 2);
    const size_t optional = file + 20;
    Put(pe, optional, pe32plus ? 0x20B : 0x10B, 2);
    Put(pe, optional + 36, 0x200, 4);  // file alignment
    Put(pe, optional + 60, 0x200, 4);  // size of headers
    Put(pe, optional + (pe32plus ? 108 : 92), 16, 4);  // data directories
    const size_t table = optional + optionalSize;
    const struct {
        const char* name;
        uint32_t rawSize, rawPointer;
    } sections[] = {{".data", 0x200, 0x600}, {".text", 0x400, 0x200}, {".bss", 0, 0}};
    for (size_t i = 0; i < 3; ++i) {
        const size_t at = table + 40 * i;
        pe.replace(at, std::char_traits<char>::length(sections[i].name), sections[i].name);
        Put(pe, at + 16, sections[i].rawSize, 4);
        Put(pe, at + 20, sections[i].rawPointer, 4);
    }
    for (size_t i = 0x200; i < pe.size(); ++i) pe[i] = char(i * 7 + 1);
    return pe;
}

// |file| signed as signing tools do it: zero padding to 8, then a certificate
// table of |size| bytes (a multiple of 8, at least 16), named by the data
// directory: one entry holding a DER sequence of 'C's (no real signature).
inline std::string Signed(std::string file, bool pe32plus = false, size_t size = 24) {
    file.append((8 - file.size() % 8) % 8, '\0');
    Put(file, CertificateEntry(pe32plus), file.size(), 4);
    Put(file, CertificateEntry(pe32plus) + 4, size, 4);
    std::string table(8, '\0');
    Put(table, 0, size, 4);
    Put(table, 4, 0x0200, 2);
    Put(table, 6, 0x0002, 2);
    const size_t contents = size - 8 - (size - 8 < 130 ? 2 : 4);
    table += '\x30';
    if (size - 8 < 130) {
        table += char(contents);
    } else {
        table += '\x82';
        table += char(contents >> 8);
        table += char(contents & 0xFF);
    }
    return file + table + std::string(contents, 'C');
}

}  // namespace pe_bytes
