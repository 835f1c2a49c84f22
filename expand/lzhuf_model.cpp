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
    // Gather the leaves, in node order, with half their count.  Node order is
    // count order, and halving keeps it.
    uint16_t leafCount[kSymbols];
    uint16_t leafChild[kSymbols];
    int leaves = 0;
    for (int i = 0; i < kNodes; ++i) {
        if (child[i] >= kNodes) {
            leafCount[leaves] = static_cast<uint16_t>((count[i] + 1) / 2);
            leafChild[leaves] = child[i];
            ++leaves;
        }
    }
    // Join the two lowest remaining nodes in turn: the n-th new node joins
    // nodes 2n and 2n + 1 and goes after every node of equal count.  New nodes
    // come in ascending count order, so the nodes are the merge of two sorted
    // runs, the leaves and the new nodes, with a leaf first on equal counts.
    // A new node always lands above its children, so when it is due they are
    // in place; while they are not, the next node is a leaf.
    int leaf = 0;
    int joined = 0;   // new nodes placed so far
    for (int node = 0; node < kNodes; ++node) {
        const bool ready = joined < kNodes - kSymbols && 2 * joined + 1 < node;
        const unsigned f = ready ? count[2 * joined] + count[2 * joined + 1] : 0;
        if (leaf < kSymbols && (!ready || leafCount[leaf] <= f)) {
            count[node] = leafCount[leaf];
            child[node] = leafChild[leaf];
            ++leaf;
        } else {
            count[node] = static_cast<uint16_t>(f);
            child[node] = static_cast<uint16_t>(2 * joined);
            ++joined;
        }
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
