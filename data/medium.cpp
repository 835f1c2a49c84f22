#include "data/medium.h"

#include "data/medium_files.h"
#include "data/setup_sum.h"

#include <algorithm>
#include <cerrno>
#include <utility>

Medium theMedium;

void Medium::UseFolder(const std::string& welcomePath) {
    m_file.reset();
    m_files.clear();
    m_byName.clear();
    m_welcomePath = welcomePath;
}

void Medium::UseStored(FilePtr file, std::vector<StoredFile> files, const std::string& welcomePath) {
    m_file = std::move(file);
    m_files = std::move(files);
    m_welcomePath = welcomePath;
    // Looked up by name once per payload: a search through thousands of
    // names each time would grow with the square of their number.
    m_byName.clear();
    m_byName.reserve(m_files.size());
    for (size_t i = 0; i < m_files.size(); ++i) m_byName.emplace_back(SumNameKey(m_files[i].name), i);
    std::stable_sort(m_byName.begin(), m_byName.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
}

bool Medium::Open(const std::string& name, FilePtr& owned, FileRange& range) const {
    range = FileRange();
    if (!m_file) {
        owned.reset(std::fopen(name.c_str(), "rb"));
        range.file = owned.get();
        return range.file != nullptr;
    }
    const std::string key = SumNameKey(name);
    const auto at = std::lower_bound(m_byName.begin(), m_byName.end(), key,
                                     [](const auto& entry, const std::string& k) { return entry.first < k; });
    if (at == m_byName.end() || at->first != key) return false;
    const StoredFile& stored = m_files[at->second];
    range.file = m_file.get();
    range.offset = stored.offset;
    range.size = stored.size;
    return true;
}

Medium::ReadOutcome Medium::ReadWhole(const std::string& name, std::vector<uint8_t>& bytes) const {
    FilePtr owned;
    FileRange range;
    std::unique_lock<std::mutex> lock;
    if (m_file) lock = LockStream();
    if (!Open(name, owned, range)) return ReadOutcome::kMissing;
    return ReadRange(range, bytes) ? ReadOutcome::kRead : ReadOutcome::kFailed;
}

MediumText ReadFolderText(const std::string& path) {
    MediumText text;
    text.path = path;
    errno = 0;
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        text.openError = errno;
        return text;
    }
    text.present = true;
    FileRange whole;
    whole.file = file.get();
    text.whole = ReadRange(whole, text.bytes);
    return text;
}

MediumText Medium::Read(const std::string& name, const std::string& folderPath) const {
    if (!m_file) return ReadFolderText(folderPath);
    MediumText text;
    text.path = folderPath;
    FilePtr owned;
    FileRange range;
    if (!Open(name, owned, range)) {
        text.openError = ENOENT;
        return text;
    }
    text.present = true;
    text.whole = ReadRange(range, text.bytes);
    return text;
}

void Medium::SetList(std::vector<uint8_t> scrambled) {
    m_list = MediumText();
    m_list.path = kFileListName;
    m_list.present = m_list.whole = true;
    m_list.bytes = std::move(scrambled);
}

namespace {

// A file that is there must be listed in setup.sum and be as it says.
bool AsSummed(const MediumText& text, const char* name, const DistributionSum& sum) {
    if (!text.present || !sum.present) return true;
    const SumEntry* expected = sum.sum.Find(name);
    Sha256Digest digest;
    return expected && text.whole && HashBytes(text.bytes.data(), text.bytes.size(), digest) &&
           expected->Matches(text.bytes.size(), digest);
}

}  // namespace

bool Medium::Load(std::string& damaged, const Sha256Digest* requiredSum) {
    m_sum = DistributionSum();
    m_list = m_welcome = m_terms = MediumText();

    damaged = kSumFileName;
    const MediumText sum = Read(kSumFileName, kSumFileName);
    if (sum.present) {
        if (!sum.whole || !m_sum.sum.Parse(sum.bytes.data(), sum.bytes.size())) return false;
        m_sum.present = true;
    }
    if (requiredSum) {
        // The program vouches for one setup.sum: without it, or with another,
        // nothing on the medium can be trusted.
        Sha256Digest digest;
        if (!sum.present || !HashBytes(sum.bytes.data(), sum.bytes.size(), digest) || digest != *requiredSum) {
            m_sum = DistributionSum();
            return false;
        }
    }

    m_list = Read(kFileListName, kFileListName);
    if (!m_list.whole) m_list.present = false;  // unreadable: the loader says files are missing
    m_welcome = Read(kWelcomeTextName, m_welcomePath);
    m_terms = Read(kTermsFileName, kTermsFileName);
    const std::pair<const MediumText*, const char*> checked[] = {
        {&m_list, kFileListName}, {&m_welcome, kWelcomeTextName}, {&m_terms, kTermsFileName}};
    for (const auto& file : checked) {
        if (!AsSummed(*file.first, file.second, m_sum)) {
            damaged = file.second;
            return false;
        }
    }
    damaged.clear();
    return true;
}
