#include "expand/lzhuf_model.h"
#include "expand/lzhuf_scheme.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

namespace {

// Checks the shape every state of the model must have: counts ascending by
// node number, each internal count the sum of its children, children pairs
// (even, odd) that point back to their parent, each symbol at a leaf, and
// the grandchildren table in step with the children.
void ExpectConsistent(const LzhufModel& m) {
    for (int i = 0; i < kRoot; ++i)
        ASSERT_LE(m.count[i], m.count[i + 1]) << "node " << i;
    ASSERT_EQ(m.count[kNodes], 0xFFFF);
    int leaves = 0;
    for (int i = 0; i < kNodes; ++i) {
        const unsigned c = m.child[i];
        if (c >= unsigned(kNodes)) {
            ++leaves;
            ASSERT_LT(c - kNodes, unsigned(kSymbols));
            ASSERT_EQ(m.parent[c], i) << "leaf of symbol " << c - kNodes;
        } else {
            ASSERT_EQ(c % 2, 0u) << "node " << i;
            ASSERT_EQ(m.parent[c], i);
            ASSERT_EQ(m.parent[c + 1], i);
            ASSERT_EQ(m.count[i], m.count[c] + m.count[c + 1]) << "node " << i;
            ASSERT_EQ(m.grand[i][0], m.child[c]) << "node " << i;
            ASSERT_EQ(m.grand[i][1], m.child[c + 1]) << "node " << i;
        }
    }
    ASSERT_EQ(leaves, kSymbols);
}

int Depth(const LzhufModel& m, unsigned symbol) {
    int depth = 0;
    for (unsigned c = m.parent[symbol + kNodes]; c != kRoot; c = m.parent[c])
        ++depth;
    return depth;
}

}  // namespace

TEST(LzhufModel, StartTreeJoinsNeighboursInOrder) {
    auto m = std::make_unique<LzhufModel>();
    m->Reset();
    ExpectConsistent(*m);
    EXPECT_EQ(m->child[kSymbols], 0);
    EXPECT_EQ(m->child[kSymbols + 1], 2);
    EXPECT_EQ(m->count[kRoot], kSymbols);
    EXPECT_EQ(m->parent[kRoot], 0);
}

TEST(LzhufModel, RebuildPlacesANewNodeAfterNodesOfEqualCount) {
    // From the start tree every leaf keeps count 1 and every pair sums to 2,
    // so each new node ties with the one made before it: placed after it, the
    // rebuilt tree is the start tree again.
    auto start = std::make_unique<LzhufModel>();
    start->Reset();
    auto m = std::make_unique<LzhufModel>(*start);
    m->Rebuild();
    ExpectConsistent(*m);
    for (int i = 0; i < kNodes; ++i) {
        EXPECT_EQ(m->child[i], start->child[i]) << "node " << i;
        EXPECT_EQ(m->count[i], start->count[i]) << "node " << i;
    }
}

TEST(LzhufModel, StaysConsistentThroughUpdatesAndRebuilds) {
    auto m = std::make_unique<LzhufModel>();
    m->Reset();
    std::mt19937 rng(7);
    int rebuilds = 0;
    for (int n = 0; n < 200000; ++n) {
        // Skewed symbols: a few very frequent ones make deep trees.
        const unsigned symbol = (rng() % 4 == 0) ? rng() % kSymbols : rng() % 5;
        if (m->count[kRoot] == kRescaleLimit)
            ++rebuilds;
        m->Update(symbol);
        if (n % 997 == 0) {
            ExpectConsistent(*m);
            for (unsigned s = 0; s < unsigned(kSymbols); ++s)
                ASSERT_LE(Depth(*m, s), LzhufModel::kMaxCodeLength);
        }
    }
    EXPECT_GE(rebuilds, 5);
    ExpectConsistent(*m);
}

TEST(LzhufModel, FirstRebuildComesWithSymbol32455) {
    auto m = std::make_unique<LzhufModel>();
    m->Reset();
    for (int n = 1; n <= 32454; ++n)
        m->Update(65);
    EXPECT_EQ(m->count[kRoot], kRescaleLimit);
    // The update of symbol 32,455 rebuilds first: symbol 65 keeps (32455 + 1) / 2,
    // the other 313 leaves keep 1 each, and then 65 is counted once more.
    m->Update(65);
    ExpectConsistent(*m);
    EXPECT_EQ(m->count[kRoot], 16228 + 313 + 1);
}

TEST(LzhufModel, UpdateAlongThePathEqualsUpdateByParents) {
    auto a = std::make_unique<LzhufModel>();
    auto b = std::make_unique<LzhufModel>();
    a->Reset();
    b->Reset();
    std::mt19937 rng(3);
    for (int n = 0; n < 100000; ++n) {
        const unsigned symbol = (rng() % 3 == 0) ? rng() % kSymbols : 250 + rng() % 12;
        uint16_t path[64];
        unsigned depth = 0;
        for (unsigned c = b->parent[symbol + kNodes]; c != kRoot; c = b->parent[c])
            path[depth++] = static_cast<uint16_t>(c);
        for (unsigned i = 0; i < depth / 2; ++i)
            std::swap(path[i], path[depth - 1 - i]);
        a->Update(symbol);
        b->UpdateAlong(symbol, path, depth, path[depth - 1]);
        if (n % 1009 == 0) {
            for (int i = 0; i < kNodes; ++i) {
                ASSERT_EQ(a->count[i], b->count[i]) << "after " << n;
                ASSERT_EQ(a->child[i], b->child[i]) << "after " << n;
            }
        }
    }
}
