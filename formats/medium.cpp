#include "formats/medium.h"

#include "formats/medium_files.h"
#include "formats/setup_sum.h"

#include <cerrno>
#include <utility>

Medium::StreamHold::StreamHold(const Medium& medium) : m_lock(medium.m_file ? &medium.m_streamLock : nullptr) {
    if (m_lock) m_lock->Acquire();
}

Medium::StreamHold::~StreamHold() {
    if (m_lock) m_lock->Release();
}

void Medium::UseFolder(const std::string& welcomePath) {
    m_file.reset();
    m_files.clear();
    m_byName.Clear();
    m_welcomePath = welcomePath;
}

void Medium::UseStored(FilePtr file, std::vector<StoredFile> files, const std::string& welcomePath) {
    m_file = std::move(file);
    m_files = std::move(files);
    m_welcomePath = welcomePath;
    // Looked up by name once per payload: a search through thousands of
    // names each time would grow with the square of their number. (Of two
    // files of one name the first is found.)
    m_byName.Clear();
    for (size_t i = 0; i < m_files.size(); ++i) m_byName.Add(m_files[i].name, uint32_t(i));
}

bool Medium::Open(const std::string& name, FilePtr& owned, FileRange& range) const {
    range = FileRange();
    if (!m_file) {
        owned.reset(std::fopen(name.c_str(), "rb"));
        range.file = owned.get();
        return range.file != nullptr;
    }
    uint32_t position;
    if (!m_byName.Find(name, position)) return false;
    const StoredFile& stored = m_files[position];
    range.file = m_file.get();
    range.offset = stored.offset;
    range.size = stored.size;
    return true;
}

Medium::ReadOutcome Medium::ReadWhole(const std::string& name, std::vector<uint8_t>& bytes) const {
    FilePtr owned;
    FileRange range;
    const StreamHold hold(*this);
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
    if (requiredSum) {
        // The program vouches for one setup.sum: without it, or with another,
        // nothing on the medium can be trusted, and its bytes are compared
        // before any of them is parsed.
        Sha256Digest digest;
        if (!sum.present || !sum.whole || !HashBytes(sum.bytes.data(), sum.bytes.size(), digest) ||
            digest != *requiredSum)
            return false;
    }
    if (sum.present) {
        if (!sum.whole || !m_sum.sum.Parse(sum.bytes.data(), sum.bytes.size())) {
            m_sum = DistributionSum();
            return false;
        }
        m_sum.present = true;
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
