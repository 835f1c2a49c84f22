#include "bench/reference_encoder.h"

#include "expand/lzhuf_encode.h"
#include "expand/lzhuf_scheme.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

constexpr int kNil = -1;
constexpr int kMask = kRingSize - 1;
// Data sits behind the decoder's start-up ring (60 unusable bytes, 4036 spaces),
// as in the real encoder, so matches may reach back into the spaces.
constexpr int64_t kUnusable = kRingSize - kRingPreset;
constexpr int64_t kDataStart = kRingSize;

// Tree nodes are ring slots (position modulo 4096); slot kRingSize + b is the
// pseudo-node whose right child is the root of the tree of strings starting
// with byte b.
class StringTree {
public:
    explicit StringTree(const uint8_t* text) : m_text(text) {
        std::fill(std::begin(m_parent), std::end(m_parent), kNil);
        std::fill(std::begin(m_left), std::end(m_left), kNil);
        std::fill(std::begin(m_right), std::end(m_right), kNil);
    }

    // Removes the string at slot s, if it is in the tree.
    void Remove(int s) {
        if (m_parent[s] == kNil)
            return;
        int q;
        if (m_right[s] == kNil) {
            q = m_left[s];
        } else if (m_left[s] == kNil) {
            q = m_right[s];
        } else {
            q = m_left[s];
            if (m_right[q] != kNil) {
                while (m_right[q] != kNil)
                    q = m_right[q];
                m_right[m_parent[q]] = m_left[q];
                if (m_left[q] != kNil)
                    m_parent[m_left[q]] = m_parent[q];
                m_left[q] = m_left[s];
                m_parent[m_left[s]] = q;
            }
            m_right[q] = m_right[s];
            m_parent[m_right[s]] = q;
        }
        if (q != kNil)
            m_parent[q] = m_parent[s];
        ReplaceChild(m_parent[s], s, q);
        m_parent[s] = kNil;
    }

    // Enters the string at pos (compared up to limit bytes) and returns the
    // longest match among the strings already in the tree.
    int Insert(int64_t pos, int limit, int64_t& matchPos) {
        const int s = int(pos & kMask);
        m_position[s] = pos;
        m_left[s] = m_right[s] = kNil;
        int best = 0;
        int p = kRingSize + m_text[pos];
        bool right = true;
        for (;;) {
            int& next = right ? m_right[p] : m_left[p];
            if (next == kNil) {
                next = s;
                m_parent[s] = p;
                return best;
            }
            p = next;
            const uint8_t* a = m_text + pos;
            const uint8_t* b = m_text + m_position[p];
            int i = 1;
            while (i < limit && a[i] == b[i])
                ++i;
            if (i > best) {
                best = i;
                matchPos = m_position[p];
            }
            if (i >= limit) {
                // Same string: the newer one takes the older one's place.
                m_parent[s] = m_parent[p];
                m_left[s] = m_left[p];
                m_right[s] = m_right[p];
                if (m_left[s] != kNil)
                    m_parent[m_left[s]] = s;
                if (m_right[s] != kNil)
                    m_parent[m_right[s]] = s;
                ReplaceChild(m_parent[p], p, s);
                m_parent[p] = kNil;
                return best;
            }
            right = a[i] >= b[i];
        }
    }

private:
    void ReplaceChild(int parent, int old, int now) {
        if (m_right[parent] == old)
            m_right[parent] = now;
        else
            m_left[parent] = now;
    }

    const uint8_t* m_text;
    int64_t m_position[kRingSize];
    int m_parent[kRingSize + 256];
    int m_left[kRingSize + 256];
    int m_right[kRingSize + 256];
};

}  // namespace

void ReferenceEncodeLzhuf(const uint8_t* data, size_t size, std::vector<uint8_t>& file) {
    const uint32_t n = static_cast<uint32_t>(size);
    file = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
    if (size == 0)
        return;
    std::vector<uint8_t> text(size_t(kDataStart) + size + 8, 0);
    std::memset(text.data() + kUnusable, ' ', kRingPreset);
    std::memcpy(text.data() + kDataStart, data, size);
    const int64_t end = kDataStart + int64_t(size);

    auto tree = std::make_unique<StringTree>(text.data());
    LzhufSymbolWriter writer(file);
    auto insert = [&](int64_t pos, int64_t& matchPos) {
        tree->Remove(int(pos & kMask));   // the string 4096 back leaves the window
        return tree->Insert(pos, int(std::min<int64_t>(kMaxMatch, end - pos)), matchPos);
    };
    int64_t matchPos = 0;
    for (int64_t pos = kUnusable; pos < kDataStart; ++pos)
        insert(pos, matchPos);
    int64_t pos = kDataStart;
    while (pos < end) {
        const int length = insert(pos, matchPos);
        if (length >= kMinMatch) {
            writer.Match(length, int(pos - matchPos));
            for (int k = 1; k < length; ++k)
                insert(pos + k, matchPos);
            pos += length;
        } else {
            writer.Literal(text[pos]);
            ++pos;
        }
    }
    writer.Finish();
}
