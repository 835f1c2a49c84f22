// The adaptive Huffman model shared by the LZHUF decoder and encoder.
//
// Nodes 0..626 are kept in ascending order of their counts; the two children of
// an internal node are neighbours (child and child + 1, the first one even), and
// the root is node 626.  After each symbol the counts on the path from its leaf
// to the root rise by one; a node that would break the order is exchanged with
// the highest node of lower count, so the tree stays a Huffman tree of the
// counts.  When the root count reaches 0x8000 the tree is rebuilt from the
// halved leaf counts.  Encoder and decoder must run exactly this model.
//
// Depth: a Huffman tree whose leaves count at least 1 and whose root counts W
// has no leaf deeper than d where Fib(d + 2) <= W.  The root never exceeds
// 0x8000 < Fib(24), so no code is longer than 21 bits.
#pragma once

#include "expand/lzhuf_scheme.h"

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

struct LzhufModel {
    static constexpr int kSentinel = kNodes;           // count slot 627 holds 0xFFFF and ends every search
    static constexpr int kSentinels = 8;               // 627..634, so the search may look 8 counts ahead
    static constexpr int kMaxCodeLength = 21;

    uint16_t count[kNodes + kSentinels];
    // Internal node: its first child.  Leaf: kNodes + its symbol.
    uint16_t child[kNodes];
    // 0..626: the parent of each node (0 for the root).  kNodes + s: the leaf of symbol s.
    uint16_t parent[kNodes + kSymbols];
    // For an internal node n: grand[n][b] = child[child[n] + b], so a walk
    // can look two levels ahead with loads that do not wait for each other.
    // Unused for leaves.
    uint16_t grand[kNodes][2];

    // Sets up the start tree: leaves 0..313 carry symbols 0..313 with count 1,
    // internal nodes 314..626 join nodes (0,1), (2,3), ... in turn.
    void Reset();

    // Rebuilds the tree from the leaves with their counts halved (rounded up).
    // A new internal node goes after all nodes of equal count.
    void Rebuild();

    // Counts one occurrence of a symbol.
    void Update(unsigned symbol) {
        if (count[kRoot] == kRescaleLimit)
            Rebuild();
        unsigned c = parent[symbol + kNodes];
        do {
            const unsigned k = ++count[c];
            if (k > count[c + 1])
                c = Exchange(c, k);
            c = parent[c];
        } while (c != 0);
    }

    // The same for a symbol whose code was just read: path[0..depth-1] are the
    // nodes from a child of the root down to the leaf, which is also given
    // as leaf (the caller has it at hand, so its test need not wait for the
    // path to be read back).  Until an exchange moves a subtree, the parent
    // of path[i] is path[i - 1], so the counts can rise without chasing
    // parent links one load after the other.
    void UpdateAlong(unsigned symbol, const uint16_t* path, unsigned depth, unsigned leaf) {
        if (count[kRoot] == kRescaleLimit) {
            Update(symbol);   // rebuilds first, which makes the path stale
            return;
        }
        // The leaf first: nine in ten exchanges happen there, and a leaf
        // exchange is cheaper (a leaf has no children).
        --depth;
        unsigned c = leaf;
        const unsigned k = ++count[c];
        if (k > count[c + 1]) {
            RiseAbove(ExchangeLeaf(c, k, symbol + kNodes));
            return;
        }
        while (depth > 0) {
            c = path[--depth];
            const unsigned m = ++count[c];
            if (m > count[c + 1]) {
                RiseAbove(Exchange(c, m));
                return;
            }
        }
        ++count[kRoot];
    }

private:
    // After an exchange: raises the counts from the parent of node c up to
    // the root, by parent links, since the recorded path no longer applies.
    void RiseAbove(unsigned c) {
        for (c = parent[c]; c != 0; c = parent[c]) {
            const unsigned k = ++count[c];
            if (k > count[c + 1])
                c = Exchange(c, k);
        }
    }

    void SetGrand(unsigned n) {
        const unsigned first = child[n];
        if (first < kNodes) {
            grand[n][0] = child[first];
            grand[n][1] = child[first + 1];
        }
    }

    // The highest node l above c whose count is still below k.
    unsigned FindExchange(unsigned c, unsigned k) const {
        unsigned l = c + 1;
        // The run of counts below k ends within the next eight in nearly
        // every case, and a sentinel always ends it.
#if defined(__SSE2__)
        const __m128i limit = _mm_set1_epi16(static_cast<short>(k - 1));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(count + l + 1));
        const __m128i below = _mm_cmpeq_epi16(_mm_subs_epu16(next, limit), _mm_setzero_si128());
        const unsigned run = unsigned(__builtin_ctz(~unsigned(_mm_movemask_epi8(below)))) / 2;
        l += run;
        if (run < 8)
            return l;
#else
        for (unsigned n = 0; n < 8; ++n, ++l)
            if (k <= count[l + 1])
                return l;
#endif
        // A long run of equal counts (a young tree is mostly one, every
        // leaf at 1): gallop over it, then halve the last step.  Counts
        // rise from node to node and the sentinel is above any k.
        unsigned low = l, step = 16, high;
        for (;;) {
            high = low + step;
            if (high >= unsigned(kSentinel)) {
                high = kSentinel;
                break;
            }
            if (count[high] >= k)
                break;
            low = high;
            step *= 2;
        }
        while (high - low > 1) {
            const unsigned middle = (low + high) / 2;
            if (count[middle] < k)
                low = middle;
            else
                high = middle;
        }
        return low;
    }

    // Leaf c, carrying the symbol whose parent entry is leafEntry, has just
    // risen to count k above its right neighbour: Exchange for a node without
    // children.
    unsigned ExchangeLeaf(unsigned c, unsigned k, unsigned leafEntry) {
        const unsigned l = FindExchange(c, k);
        count[c] = count[l];
        count[l] = static_cast<uint16_t>(k);
        const unsigned j = child[l];
        parent[leafEntry] = static_cast<uint16_t>(l);
        parent[j] = static_cast<uint16_t>(c);
        if (j < kNodes) {
            parent[j + 1] = static_cast<uint16_t>(c);
            grand[c][0] = child[j];
            grand[c][1] = child[j + 1];
        }
        child[l] = static_cast<uint16_t>(leafEntry);
        child[c] = static_cast<uint16_t>(j);
        grand[parent[c]][c & 1] = static_cast<uint16_t>(j);
        grand[parent[l]][l & 1] = static_cast<uint16_t>(leafEntry);
        return l;
    }

    // Node c has just risen to count k above its right neighbour: swaps it with
    // the highest node l whose count is still below k and returns l.
    unsigned Exchange(unsigned c, unsigned k) {
        const unsigned l = FindExchange(c, k);
        count[c] = count[l];
        count[l] = static_cast<uint16_t>(k);

        const unsigned i = child[c];
        parent[i] = static_cast<uint16_t>(l);
        if (i < kNodes)
            parent[i + 1] = static_cast<uint16_t>(l);
        const unsigned j = child[l];
        parent[j] = static_cast<uint16_t>(c);
        if (j < kNodes)
            parent[j + 1] = static_cast<uint16_t>(c);
        child[l] = static_cast<uint16_t>(i);
        child[c] = static_cast<uint16_t>(j);
        SetGrand(c);
        SetGrand(l);
        // c and l keep their parents; what those see below c and l changed.
        grand[parent[c]][c & 1] = static_cast<uint16_t>(j);
        grand[parent[l]][l & 1] = static_cast<uint16_t>(i);
        return l;
    }
};
