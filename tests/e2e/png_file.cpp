#include "tests/e2e/png_file.h"

#include <cstdio>

namespace {

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
    static uint32_t table[256];
    if (!table[1]) {
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
    }
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

uint32_t Adler32(const std::vector<uint8_t>& data) {
    uint32_t a = 1, b = 0;
    for (uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

// Deflate's bit stream: values least significant bit first, Huffman codes
// most significant bit first.
class BitWriter {
public:
    explicit BitWriter(std::vector<uint8_t>& out) : m_out(out) {}
    void Bits(uint32_t value, int count) {
        for (int i = 0; i < count; ++i) Bit((value >> i) & 1);
    }
    void Code(uint32_t code, int length) {
        for (int i = length - 1; i >= 0; --i) Bit((code >> i) & 1);
    }
    void Flush() {
        if (m_count) m_out.push_back(m_byte);
        m_byte = 0;
        m_count = 0;
    }

private:
    void Bit(uint32_t bit) {
        m_byte |= static_cast<uint8_t>(bit << m_count);
        if (++m_count == 8) Flush();
    }
    std::vector<uint8_t>& m_out;
    uint8_t m_byte = 0;
    int m_count = 0;
};

// The fixed literal/length code of symbol 0..287.
void FixedSymbol(BitWriter& bits, int symbol) {
    if (symbol < 144) bits.Code(0x30 + symbol, 8);
    else if (symbol < 256) bits.Code(0x190 + symbol - 144, 9);
    else if (symbol < 280) bits.Code(symbol - 256, 7);
    else bits.Code(0xC0 + symbol - 280, 8);
}

// A match of |length| (3..258) at distance 1.
void RepeatPrevious(BitWriter& bits, int length) {
    static const int kBase[] = {3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31,
                                35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static const int kExtra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2,
                                 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    int code = 28;
    while (kBase[code] > length) --code;
    FixedSymbol(bits, 257 + code);
    bits.Bits(static_cast<uint32_t>(length - kBase[code]), kExtra[code]);
    bits.Code(0, 5);  // distance code 0: distance 1
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void Chunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
    Put32(png, static_cast<uint32_t>(data.size()));
    size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    Put32(png, Crc32(&png[start], png.size() - start));
}

}  // namespace

std::vector<uint8_t> ZlibCompress(const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out = {0x78, 0x01};
    BitWriter bits(out);
    bits.Bits(1, 1);  // the only block, and the last
    bits.Bits(1, 2);  // fixed Huffman codes
    size_t i = 0;
    while (i < data.size()) {
        FixedSymbol(bits, data[i]);
        size_t run = 0;
        while (i + 1 + run < data.size() && data[i + 1 + run] == data[i] && run < 258) ++run;
        if (run >= 3) {
            RepeatPrevious(bits, static_cast<int>(run));
            i += 1 + run;
        } else {
            ++i;
        }
    }
    FixedSymbol(bits, 256);  // end of block
    bits.Flush();
    Put32(out, Adler32(data));
    return out;
}

bool WritePngFile(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb) {
    if (width <= 0 || height <= 0 || rgb.size() != static_cast<size_t>(width) * height * 3) return false;
    const size_t stride = static_cast<size_t>(width) * 3;
    std::vector<uint8_t> filtered;
    filtered.reserve((stride + 1) * height);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = &rgb[y * stride];
        filtered.push_back(1);  // Sub: each byte less the same colour of the pixel to its left
        for (size_t x = 0; x < stride; ++x) filtered.push_back(static_cast<uint8_t>(row[x] - (x >= 3 ? row[x - 3] : 0)));
    }

    std::vector<uint8_t> header;
    Put32(header, static_cast<uint32_t>(width));
    Put32(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, standard filters, no interlace

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", ZlibCompress(filtered));
    Chunk(png, "IEND", {});

    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    return std::fclose(file) == 0 && written;
}
