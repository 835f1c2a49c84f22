// The record of a run written down as the run goes, so that a run that is
// killed part way (or whose machine stops) can still be undone by the
// uninstaller that is already in place: "uninstall.dat" holds the product
// line and a line for each effect, without the last line, each line written
// before the next effect begins (a file placement's before it is placed);
// after each line the journal value of the product's Uninstall key
// (kRecordJournalValue, where only the installer can write) is set to the
// SHA-256 and length of the text so far. A line written but not yet vouched
// for is not obeyed. The run replaces the journal with the whole record at
// its end, as a run always did, and then deletes the value.
#pragma once

#include "base/sha256.h"
#include "engine/install_record.h"

#include <windows.h>

#include <string>
#include <vector>

class RecordJournal : public EffectSink {
public:
    RecordJournal() = default;
    ~RecordJournal() { Close(); }
    RecordJournal(const RecordJournal&) = delete;
    RecordJournal& operator=(const RecordJournal&) = delete;

    // Starts the journal "uninstall.dat" of |appDir| (a new file put over
    // whatever had the name) with |product| and |effects|, vouched for by
    // the journal value of |key|, the product's Uninstall key. False when it
    // cannot be started: the run then goes on without one, and what had the
    // name is as it was, unless the journal took its place and only the
    // writing on failed (then the journal value vouches for it).
    bool Begin(const std::string& appDir, const std::string& key, const std::string& product,
               const std::vector<Effect>& effects);
    bool Started() const { return m_file != INVALID_HANDLE_VALUE; }

    // Writes |effects|, about to happen (those not written ahead already),
    // vouched for at once: when one is added to the record (Added), it is
    // not written again.
    void Ahead(const std::vector<Effect>& effects);
    // Writes |effect|, added to the run's record, unless it was written ahead.
    void Added(const Effect& effect) override;

    // Stops writing and closes the file, which stays as it is (before the
    // whole record or the earlier one is put over it).
    void Close();
    // Deletes the journal value: once the whole record is in place and its
    // digest vouches for it.
    void Forget();

private:
    void Write(const std::string& lines);
    bool Append(const std::string& text);

    HANDLE m_file = INVALID_HANDLE_VALUE;
    HKEY m_key = nullptr;   // the product's Uninstall key, for setting the value
    Sha256 m_hash;          // over the text written so far
    unsigned long long m_length = 0;
    std::vector<Effect> m_ahead;  // the effects written ahead and not added yet
};
