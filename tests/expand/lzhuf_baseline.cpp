#include "tests/expand/lzhuf_baseline.h"

#include <cstdint>
#include <cstring>

namespace {

const int N = 4096;
const int F = 60;
const int THRESHOLD = 2;
const int N_CHAR = 256 - THRESHOLD + F;   // 314
const int T = N_CHAR * 2 - 1;             // 627
const int R = T - 1;                      // 626
const unsigned MAX_FREQ = 0x8000;

struct Baseline {
    std::FILE* in;
    unsigned freq[T + 1];
    int prnt[T + N_CHAR];
    int son[T];
    unsigned getbuf = 0;   // 16 bits, the oldest bit at the top
    int getlen = 0;
    unsigned char text[N];
    unsigned char dCode[256];
    unsigned char dLen[256];

    void MakeTables() {
        // Upper value u has a code of L(u) bits and owns 2^(8 - L(u)) table entries.
        int index = 0;
        for (int u = 0; u < 64; ++u) {
            int len;
            if (u == 0) len = 3;
            else if (u < 4) len = 4;
            else if (u < 12) len = 5;
            else if (u < 24) len = 6;
            else if (u < 48) len = 7;
            else len = 8;
            for (int k = 0; k < (1 << (8 - len)); ++k) {
                dCode[index] = (unsigned char)u;
                dLen[index] = (unsigned char)len;
                index++;
            }
        }
    }

    void FillBuffer() {
        while (getlen <= 8) {
            int ch = std::getc(in);
            if (ch == EOF) ch = 0;
            getbuf |= (unsigned)ch << (8 - getlen);
            getlen += 8;
        }
    }
    int GetBit() {
        FillBuffer();
        int bit = (getbuf >> 15) & 1;
        getbuf = (getbuf << 1) & 0xFFFF;
        getlen--;
        return bit;
    }
    int GetByte() {
        FillBuffer();
        int byte = (getbuf >> 8) & 0xFF;
        getbuf = (getbuf << 8) & 0xFFFF;
        getlen -= 8;
        return byte;
    }
    int GetBits(int n) {
        FillBuffer();
        int v = (getbuf >> (16 - n)) & ((1 << n) - 1);
        getbuf = (getbuf << n) & 0xFFFF;
        getlen -= n;
        return v;
    }

    void ResetModel() {
        for (int s = 0; s < N_CHAR; s++) {
            freq[s] = 1;
            son[s] = s + T;
            prnt[s + T] = s;
        }
        int i = 0;
        for (int j = N_CHAR; j <= R; j++) {
            freq[j] = freq[i] + freq[i + 1];
            son[j] = i;
            prnt[i] = prnt[i + 1] = j;
            i += 2;
        }
        freq[T] = 0xFFFF;
        prnt[R] = 0;
        getbuf = 0;
        getlen = 0;
    }

    void RebuildTree() {
        int j = 0;
        for (int i = 0; i < T; i++) {
            if (son[i] >= T) {
                freq[j] = (freq[i] + 1) / 2;
                son[j] = son[i];
                j++;
            }
        }
        int i = 0;
        for (j = N_CHAR; j < T; j++) {
            unsigned f = freq[i] + freq[i + 1];
            int k = j - 1;
            while (f < freq[k]) k--;
            k++;
            for (int m = j; m > k; m--) {
                freq[m] = freq[m - 1];
                son[m] = son[m - 1];
            }
            freq[k] = f;
            son[k] = i;
            i += 2;
        }
        for (i = 0; i < T; i++) {
            int k = son[i];
            if (k >= T) {
                prnt[k] = i;
            } else {
                prnt[k] = i;
                prnt[k + 1] = i;
            }
        }
    }

    void UpdateModel(int s) {
        if (freq[R] == MAX_FREQ) RebuildTree();
        int c = prnt[s + T];
        do {
            unsigned k = ++freq[c];
            if (k > freq[c + 1]) {
                int l = c + 1;
                while (k > freq[l + 1]) l++;
                freq[c] = freq[l];
                freq[l] = k;
                int i = son[c];
                prnt[i] = l;
                if (i < T) prnt[i + 1] = l;
                int j = son[l];
                son[l] = i;
                prnt[j] = c;
                if (j < T) prnt[j + 1] = c;
                son[c] = j;
                c = l;
            }
            c = prnt[c];
        } while (c != 0);
    }

    int DecodeSymbol() {
        int c = son[R];
        while (c < T) c = son[c + GetBit()];
        c -= T;
        UpdateModel(c);
        return c;
    }

    int DecodeDistance() {
        int i = GetByte();
        int u = dCode[i];
        int len = dLen[i] - 2;
        int x = GetBits(len);
        return u * 64 + (((i << len) | x) & 63);
    }
};

}  // namespace

bool BaselineExpand(std::FILE* source, std::FILE* dest) {
    unsigned char header[4];
    if (std::fread(header, 1, 4, source) != 4)
        return false;
    int32_t size = (int32_t)((uint32_t)header[0] | (uint32_t)header[1] << 8 | (uint32_t)header[2] << 16 |
                             (uint32_t)header[3] << 24);
    if (size == 0)
        return true;

    Baseline b;
    b.in = source;
    b.MakeTables();
    b.ResetModel();
    std::memset(b.text, ' ', N - F);
    std::memset(b.text + N - F, 0, F);
    int r = N - F;
    long long count = 0;   // may pass the size by a last match
    while (count < size) {
        int c = b.DecodeSymbol();
        if (c < 256) {
            std::putc(c, dest);
            b.text[r++] = (unsigned char)c;
            r &= N - 1;
            count++;
        } else {
            int i = (r - b.DecodeDistance() - 1) & (N - 1);
            int j = c - 255 + THRESHOLD;
            count += j;
            for (int k = 0; k < j; k++) {
                c = b.text[(i + k) & (N - 1)];
                std::putc(c, dest);
                b.text[r++] = (unsigned char)c;
                r &= N - 1;
            }
        }
    }
    return true;
}
