// The record of what an installation did, kept in the application directory
// as "uninstall.dat" so that the uninstaller can undo it, last effect first.
// The file format (docs/uninstall-record.md) is text, one effect per line,
// each kind's line as engine/effects.h describes it;
// formatting and parsing are Win32-free so they are tested natively.
#pragma once

#include "base/legacy_text.h"

#include "engine/effects.h"
#include "engine/run_result.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// File name of the record in the application directory.
constexpr char kInstallRecordName[] = "uninstall.dat";
// File name of the uninstaller copied into the application directory.
constexpr char kUninstallerName[] = "uninstall.exe";

// Who is told of each effect as it is added to a record (the run's journal,
// which writes it down at once).
class EffectSink {
public:
    virtual void Added(const Effect& effect) = 0;

protected:
    ~EffectSink() = default;
};

// The sink of one record: a copy of the record, or a record assigned to it,
// does not take it over.
class EffectObserver {
public:
    EffectObserver() = default;
    EffectObserver(const EffectObserver&) {}
    EffectObserver& operator=(const EffectObserver&) { return *this; }

    void Set(EffectSink* sink) { m_sink = sink; }
    void Tell(const Effect& effect) const {
        if (m_sink) m_sink->Added(effect);
    }

private:
    EffectSink* m_sink = nullptr;
};

// The record of one installation: the run owns it and hands it to whatever
// causes an effect, which appends it here.
struct InstallRecord {
    std::string product;          // the product name, for the uninstaller's texts
    std::vector<Effect> effects;  // in the order they happened
    EffectObserver observer;      // told of each effect added

    void Add(EffectKind kind, const std::string& path, const std::string& other = std::string());
    void Add(Effect effect);
};

// The whole record as the text of "uninstall.dat": its texts in UTF-8, the
// first line saying so when any of them holds more than ASCII (an earlier
// uninstaller refuses such a record rather than misread it; a record of
// ASCII text reads the same either way and is written as it always was).
std::string FormatInstallRecord(const InstallRecord& record);

// The pieces of that text, for a record written as the run goes (a
// journal): the first line and the product line (the first line saying
// UTF-8 when |utf8| is set, as a journal's always does: its texts are not
// known beforehand), and the line of one effect. A journal has no last line:
// ParseRecordJournal reads it.
std::string FormatRecordStart(const std::string& product, bool utf8);
std::string FormatRecordLine(const Effect& effect);

// The largest record the reader takes, far beyond what any installation
// writes (a line of some hundred bytes per effect): a larger file is refused
// before it is read.
constexpr size_t kMaxInstallRecordSize = 64u << 20;

// Reads the text of "uninstall.dat" into |record|. kRecordRefused, with
// |record| left empty, no path and the detail saying what is wrong, for any
// text that is not a whole record of a known version: a wrong first line, an
// unknown kind of line, a wrong number of fields, a bad escape or hex digit,
// a missing or wrong last line, a raw control character, a NUL or control
// character in a path or a value name, a file path that is not a full path,
// a NUL in the product name, a text over kMaxInstallRecordSize, effects that
// do not fit in memory. The header and the last line are checked before
// anything is copied; the memory taken beyond the text is the effects' own.
// The detail quotes at most a few dozen bytes of the text. A record not
// marked UTF-8 was written in a code page: its texts (and the string data of
// values it would restore) are converted from |legacyCodePage|; one that is
// not text there, or a record marked UTF-8 holding text that is not, is refused.
RunResult ParseInstallRecord(std::string_view text, InstallRecord& record,
                             unsigned legacyCodePage = SystemAnsiCodePage());

// Reads |text|, a journal (a record written as the run went, whole lines
// without the last line), as ParseInstallRecord reads a whole record.
RunResult ParseRecordJournal(std::string_view text, InstallRecord& record);
