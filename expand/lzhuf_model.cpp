#include "expand/lzhuf_model.h"

#include <cstring>

void LzhufModel::Reset() {
    std::memset(grand, 0, sizeof grand);
    for (int s = 0; s < kSymbols; ++s) {
        count[s] = 1;
        child[s] = static_cast<uint16_t>(s + kNodes);
        parent[s + kNodes] = static_cast<uint16_t>(s);
    }
    for (int i = 0, j = kSymbols; j <= kRoot; i += 2, ++j) {
        count[j] = static_cast<uint16_t>(count[i] + count[i + 1]);
        child[j] = static_cast<uint16_t>(i);
        parent[i] = parent[i + 1] = static_cast<uint16_t>(j);
    }
    for (int i = kSentinel; i < kSentinel + kSentinels; ++i)
        count[i] = 0xFFFF;
    parent[kRoot] = 0;
    for (unsigned n = 0; n < unsigned(kNodes); ++n)
        SetGrand(n);
}

void LzhufModel::Rebuild() {
    // Gather the leaves, in node order, into the lowest nodes with half their count.
    int j = 0;
    for (int i = 0; i < kNodes; ++i) {
        if (child[i] >= kNodes) {
            count[j] = static_cast<uint16_t>((count[i] + 1) / 2);
            child[j] = child[i];
            ++j;
        }
    }
    // Join the two lowest remaining nodes in turn; each new node is inserted in
    // count order, after the nodes of equal count.
    for (int i = 0, node = kSymbols; node < kNodes; i += 2, ++node) {
        const unsigned f = count[i] + count[i + 1];
        int k = node - 1;
        while (f < count[k])
            --k;
        ++k;
        for (int m = node; m > k; --m) {
            count[m] = count[m - 1];
            child[m] = child[m - 1];
        }
        count[k] = static_cast<uint16_t>(f);
        child[k] = static_cast<uint16_t>(i);
    }
    for (int i = 0; i < kNodes; ++i) {
        const unsigned k = child[i];
        parent[k] = static_cast<uint16_t>(i);
        if (k < kNodes)
            parent[k + 1] = static_cast<uint16_t>(i);
    }
    for (unsigned n = 0; n < unsigned(kNodes); ++n)
        SetGrand(n);
}
