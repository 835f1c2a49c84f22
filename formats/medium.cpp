#include "formats/medium.h"

#include "base/utf8.h"
#include "formats/file_list.h"
#include "formats/list_format.h"
#include "formats/medium_files.h"
#include "formats/scramble.h"
#include "formats/setup_sum.h"

#include <cerrno>
#include <utility>

Medium::StreamHold::StreamHold(const Medium& medium) : m_lock(medium.m_file ? &medium.m_streamLock : nullptr) {
    if (m_lock) m_lock->Acquire();
}

Medium::StreamHold::~StreamHold() {
    if (m_lock) m_lock->Release();
}

MediumCache::~MediumCache() = default;

MediumCache& Medium::Cache(const std::function<std::unique_ptr<MediumCache>()>& make) const {
    ThreadHold hold(m_cacheLock);
    if (!m_cache) m_cache = make();
    return *m_cache;
}

void Medium::UseFolder(const std::string& welcomePath) {
    m_cache.reset();
    m_file.reset();
    m_files.clear();
    m_byName.Clear();
    m_welcomePath = welcomePath;
}

void Medium::UseStored(FilePtr file, std::vector<StoredFile> files, const std::string& welcomePath) {
    m_cache.reset();
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
        // A payload is checked against setup.sum and then decoded, reading
        // it twice: no one changes it in between.
        owned.reset(OpenFileDenyingWrites(name));
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
    FilePtr file(OpenFile(path, "rb"));
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

// True when the scrambled list |list| is marked UTF-8.
bool MarkedUtf8(const MediumText& list) {
    std::vector<uint8_t> plain = list.bytes;
    ScrambleBuffer(plain.data(), plain.size());
    return ListMarksUtf8(SplitListLines(plain.data(), plain.size()));
}

std::string_view AsText(const std::vector<uint8_t>& bytes) {
    return std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// A text of the medium in UTF-8: without its byte order mark, or converted
// from |codePage|.
void MakeUtf8(MediumText& text, unsigned codePage) {
    const std::string_view bytes = AsText(text.bytes);
    std::string utf8;
    if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom)
        text.bytes.erase(text.bytes.begin(), text.bytes.begin() + kUtf8Bom.size());
    else if (!IsAscii(bytes) && LegacyToUtf8(codePage, bytes, utf8))
        text.bytes.assign(utf8.begin(), utf8.end());
}

}  // namespace

bool Medium::Load(std::string& damaged, const Sha256Digest* requiredSum, unsigned legacyCodePage) {
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
    // The names of an earlier medium's setup.sum, in the code page its list
    // was written in, as the list's loader will read them.
    std::string names;
    if (m_sum.present && !IsAscii(AsText(sum.bytes)) && !(m_list.present && MarkedUtf8(m_list))) {
        if (!LegacyToUtf8(legacyCodePage, AsText(sum.bytes), names) ||
            !m_sum.sum.Parse(reinterpret_cast<const uint8_t*>(names.data()), names.size())) {
            damaged = kSumFileName;
            m_sum = DistributionSum();
            return false;
        }
    }
    MakeUtf8(m_welcome, legacyCodePage);
    MakeUtf8(m_terms, legacyCodePage);
    damaged.clear();
    return true;
}
