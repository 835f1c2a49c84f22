#include "engine/record_journal.h"

#include "base/hex.h"
#include "base/registry_path.h"
#include "base/staged_file.h"
#include "engine/uninstall.h"

#include <io.h>

#include <algorithm>
#include <cstdio>

bool RecordJournal::Begin(const std::string& appDir, const std::string& key, const std::string& product,
                          const std::vector<Effect>& effects) {
    {
        RegKey opened;
        // A handle of the journal's own to the key, kept for the value's updates.
        if (opened.OpenPath(key, KEY_SET_VALUE) != ERROR_SUCCESS ||
            RegOpenKeyExW(opened.Get(), L"", 0, KEY_SET_VALUE, &m_key) != ERROR_SUCCESS)
            return false;
    }
    std::string text = FormatRecordStart(product, true);
    for (const Effect& effect : effects) text += FormatRecordLine(effect);
    // Written whole under a temporary name and vouched for before it takes
    // the record's name: until then an earlier record there stays, vouched
    // for by its digest.
    StagedFile staged(appDir + "\\" + kInstallRecordName);
    if (!staged.Get() || std::fwrite(text.data(), 1, text.size(), staged.Get()) != text.size() ||
        std::fflush(staged.Get()) != 0 || !Append(text)) {
        Forget();
        return false;
    }
    std::FILE* placed = staged.PlaceOpen();
    if (!placed) {
        Forget();
        return false;
    }
    // In place, and vouched for (so the value stays until the whole record
    // replaces it). Its lines from here on go straight to the system, one
    // write each, through a handle of its own.
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(placed)));
    if (handle == INVALID_HANDLE_VALUE ||
        !DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &m_file, 0, FALSE, DUPLICATE_SAME_ACCESS))
        m_file = INVALID_HANDLE_VALUE;
    std::fclose(placed);
    if (m_file != INVALID_HANDLE_VALUE && SetFilePointer(m_file, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER)
        Close();
    return Started();
}

// Writes |text| at the end of the journal (when the file is open) and
// vouches for everything written so far.
bool RecordJournal::Append(const std::string& text) {
    if (m_file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        if (!WriteFile(m_file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
            written != text.size())
            return false;
    }
    m_hash.Update(text.data(), text.size());
    m_length += text.size();
    Sha256Digest digest;
    if (!m_hash.Peek(digest)) return false;
    const std::string value = HexText(digest.data(), digest.size(), HexLetters::kLower) + " " + std::to_string(m_length);
    return SetRegistryValue(m_key, kRecordJournalValue, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1)) ==
           ERROR_SUCCESS;
}

void RecordJournal::Write(const std::string& lines) {
    if (!Started()) return;
    // Lines that cannot be written or vouched for end the journal: what it
    // vouched for before stays obeyed.
    if (!Append(lines)) {
        CloseHandle(m_file);
        m_file = INVALID_HANDLE_VALUE;
    }
}

void RecordJournal::Ahead(const std::vector<Effect>& effects) {
    std::string lines;
    for (const Effect& effect : effects) {
        if (std::find(m_ahead.begin(), m_ahead.end(), effect) != m_ahead.end()) continue;
        lines += FormatRecordLine(effect);
        m_ahead.push_back(effect);
    }
    if (!lines.empty()) Write(lines);
}

void RecordJournal::Added(const Effect& effect) {
    const auto ahead = std::find(m_ahead.begin(), m_ahead.end(), effect);
    if (ahead != m_ahead.end())
        m_ahead.erase(ahead);
    else
        Write(FormatRecordLine(effect));
}

void RecordJournal::Close() {
    if (m_file != INVALID_HANDLE_VALUE) CloseHandle(m_file);
    m_file = INVALID_HANDLE_VALUE;
    m_ahead.clear();
}

void RecordJournal::Forget() {
    Close();
    if (!m_key) return;
    DeleteRegistryValue(m_key, kRecordJournalValue);
    RegCloseKey(m_key);
    m_key = nullptr;
}
