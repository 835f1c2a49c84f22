#include "formats/setup_sum.h"

#include "base/ascii.h"
#include "base/hex.h"

#include <algorithm>
#include <cstring>
#include <utility>


namespace {

const char kFirstLine[] = "setup.sum 1";
const char kFirstLine2[] = "setup.sum 2";

// Reads a digest and a blank at |at| of |line|; an empty text when good.
std::string ParseDigest(const std::string& line, size_t& at, Sha256Digest& digest) {
    if (line.size() < at + 64 + 1) return "too short for a digest, a size and a name";
    for (size_t i = 0; i < 32; ++i) {
        const int high = HexDigitValue(line[at + 2 * i], HexLetters::kEither),
                  low = HexDigitValue(line[at + 2 * i + 1], HexLetters::kEither);
        if (high < 0 || low < 0) return "the digest is not 64 hexadecimal digits";
        digest[i] = uint8_t(high * 16 + low);
    }
    at += 64;
    if (line[at] != ' ') return "no blank after the digest";
    ++at;
    return std::string();
}

// Reads a size and a blank at |at| of |line|; an empty text when good.
std::string ParseSize(const std::string& line, size_t& at, uint64_t& size) {
    size = 0;
    const size_t digits = at;
    for (; at < line.size() && line[at] >= '0' && line[at] <= '9'; ++at) {
        // 2^63 and above: no file is that large, and the sum would overflow.
        if (size > (UINT64_MAX / 2 - 9) / 10) return "the size is too large";
        size = size * 10 + uint64_t(line[at] - '0');
    }
    if (at == digits) return "no size after the digest";
    if (at >= line.size() || line[at] != ' ') return "no blank after the size";
    ++at;
    return std::string();
}

// A character of a name as it compares: upper case, a backslash for a slash.
char NameChar(char ch) { return ch == '/' ? '\\' : UpperAscii(ch); }

// One entry line (without its line end) of a sum of |version|; an empty
// text when it is good, otherwise what is wrong with it.
std::string ParseEntry(const std::string& line, int version, SumEntry& entry) {
    if (line.size() < 64 + 1 + 1 + 1 + 1) return "too short for a digest, a size and a name";
    size_t at = 0;
    std::string fault = ParseDigest(line, at, entry.sha256);
    if (fault.empty()) fault = ParseSize(line, at, entry.size);
    entry.packed = version == 2;
    if (fault.empty() && entry.packed) fault = ParseDigest(line, at, entry.packedSha256);
    if (fault.empty() && entry.packed) fault = ParseSize(line, at, entry.packedSize);
    if (!fault.empty()) return fault;
    entry.name = line.substr(at);
    if (!IsValidSumName(entry.name)) return "the name is empty or holds a control character";
    return std::string();
}

// The order of names as they compare: by their first differing character
// (NameChar), the shorter first where one begins the other.
bool SumNameLess(const std::string& a, const std::string& b) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const unsigned char x = NameChar(a[i]), y = NameChar(b[i]);
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

}  // namespace

bool SameSumName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (NameChar(a[i]) != NameChar(b[i])) return false;
    return true;
}

bool IsValidSumName(const std::string& name) {
    if (name.empty()) return false;
    for (unsigned char ch : name)
        if (ch < 0x20 || ch == 0x7F) return false;
    return true;
}

std::string SumNameKey(std::string name) {
    for (char& ch : name) ch = NameChar(ch);
    return name;
}

bool IsSummedAsStored(const std::string& name) {
    return SameSumName(name, kFileListName) || SameSumName(name, kWelcomeTextName) || SameSumName(name, kTermsFileName);
}

bool SetupSum::Parse(const uint8_t* text, size_t length, std::string* problem) {
    m_entries.clear();
    m_byName.Clear();
    if (length == 0) {
        if (problem) *problem = "empty";
        return false;
    }
    const char* at = reinterpret_cast<const char*>(text);
    const char* const stop = at + length;
    int version = 0;
    for (int number = 1; at < stop; ++number) {
        const char* end = static_cast<const char*>(std::memchr(at, '\n', size_t(stop - at)));
        if (!end) end = stop;
        std::string line(at, end);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        at = end + 1;

        std::string fault;
        SumEntry entry;
        if (number == 1) {
            version = line == kFirstLine ? 1 : line == kFirstLine2 ? 2 : 0;
            if (!version) fault = "not a setup.sum of version 1 or 2";
        } else {
            fault = ParseEntry(line, version, entry);
            if (fault.empty() && !Add(std::move(entry))) fault = "names a file named before";
        }
        if (!fault.empty()) {
            if (problem) *problem = "line " + std::to_string(number) + ": " + fault;
            m_entries.clear();
            m_byName.Clear();
            return false;
        }
    }
    return true;
}

std::string SetupSum::Format() const {
    const bool packed = std::any_of(m_entries.begin(), m_entries.end(), [](const SumEntry& e) { return e.packed; });
    std::string text = std::string(packed ? kFirstLine2 : kFirstLine) + "\r\n";
    for (const SumEntry& entry : m_entries) {
        text += DigestHex(entry.sha256) + " " + std::to_string(entry.size) + " ";
        if (packed)
            text += DigestHex(entry.packed ? entry.packedSha256 : entry.sha256) + " " +
                    std::to_string(entry.packed ? entry.packedSize : entry.size) + " ";
        text += entry.name + "\r\n";
    }
    return text;
}

std::vector<std::pair<std::string, uint32_t>>::const_iterator SumNameIndex::Lower(const std::string& name) const {
    return std::lower_bound(m_sorted.begin(), m_sorted.end(), name,
                            [](const std::pair<std::string, uint32_t>& entry, const std::string& key) {
                                return SumNameLess(entry.first, key);
                            });
}

bool SumNameIndex::Add(const std::string& name, uint32_t position) {
    const auto at = Lower(name);
    if (at != m_sorted.end() && SameSumName(at->first, name)) return false;
    m_sorted.emplace(at, name, position);
    return true;
}

bool SumNameIndex::Find(const std::string& name, uint32_t& position) const {
    const auto at = Lower(name);
    if (at == m_sorted.end() || !SameSumName(at->first, name)) return false;
    position = at->second;
    return true;
}

bool SetupSum::Add(SumEntry entry) {
    if (!IsValidSumName(entry.name) || !m_byName.Add(entry.name, uint32_t(m_entries.size()))) return false;
    m_entries.push_back(std::move(entry));
    return true;
}

const SumEntry* SetupSum::Find(const std::string& name) const {
    uint32_t position;
    return m_byName.Find(name, position) ? &m_entries[position] : nullptr;
}

std::string DigestHex(const Sha256Digest& digest) { return HexText(digest.data(), digest.size(), HexLetters::kLower); }
