#include "engine/install_record.h"

#include "base/hex.h"
#include "base/path_parts.h"
#include "base/format_text.h"
#include "base/utf8.h"

#include <algorithm>
#include <new>
#include <string_view>
#include <utility>

namespace {

using Text = std::string_view;

constexpr char kHeader[] = "SETUP UNINSTALL RECORD 1";
// The first line of a record whose texts hold more than ASCII: UTF-8.
constexpr char kUtf8Header[] = "SETUP UNINSTALL RECORD 1 UTF-8";

// Registry types whose data is text: REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ.
bool IsTextType(uint32_t type) { return type == 1 || type == 2 || type == 7; }

// True when every text of |record| is ASCII.
bool AllAscii(const InstallRecord& record) {
    if (!IsAscii(record.product)) return false;
    for (const Effect& effect : record.effects)
        if (!IsAscii(effect.path) || !IsAscii(effect.other) || (IsTextType(effect.type) && !IsAscii(effect.data)))
            return false;
    return true;
}

// |text| as UTF-8: checked when the record is marked UTF-8 (|codePage| 0),
// converted from |codePage| otherwise.
bool InUtf8(std::string& text, unsigned codePage) {
    if (IsAscii(text)) return true;
    if (codePage == 0) return IsUtf8(text);
    const std::string bytes = text;
    return LegacyToUtf8(codePage, bytes, text);
}

bool EffectInUtf8(Effect& effect, unsigned codePage) {
    return InUtf8(effect.path, codePage) && InUtf8(effect.other, codePage) &&
           (!effect.existed || !IsTextType(effect.type) || InUtf8(effect.data, codePage));
}

// The fields of a kind's line after the name that name something: the path,
// and |other| when the kind has it. What stood there before follows them.
size_t NamedFields(EffectFields fields) { return fields.other ? 2 : 1; }

// The most fields a line has: a value that existed, with its name.
constexpr size_t kMostFields = 6;

bool IsControl(char ch) { return static_cast<unsigned char>(ch) < 0x20; }

// Texts may hold anything (registry data, odd file names): '%' and control
// characters are written as %XX, so a field never holds a tab or a line end.
std::string Escape(Text text) {
    std::string out;
    for (char ch : text) {
        const unsigned char byte = static_cast<unsigned char>(ch);
        if (byte < 0x20 || ch == '%') {
            out += '%';
            out += HexText(&byte, 1, HexLetters::kUpper);
        } else {
            out += ch;
        }
    }
    return out;
}

// A piece of the text for an error message: its first bytes, escaped, in quotes.
std::string Quote(Text text) {
    constexpr size_t kShown = 32;
    return "\"" + Escape(text.substr(0, kShown)) + (text.size() > kShown ? "...\"" : "\"");
}

bool Unescape(Text field, std::string& out) {
    out.clear();
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '%') {
            out += field[i];
            continue;
        }
        if (i + 2 >= field.size()) return false;
        const int high = HexDigitValue(field[i + 1], HexLetters::kUpper),
                  low = HexDigitValue(field[i + 2], HexLetters::kUpper);
        if (high < 0 || low < 0) return false;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return true;
}

// A decimal number of at most 10 digits that fits 32 bits.
bool ParseNumber(Text text, uint32_t& value) {
    if (text.empty() || text.size() > 10) return false;
    unsigned long long n = 0;
    for (char ch : text) {
        if (ch < '0' || ch > '9') return false;
        n = n * 10 + static_cast<unsigned>(ch - '0');
    }
    if (n > 0xFFFFFFFFull) return false;
    value = static_cast<uint32_t>(n);
    return true;
}

// The fields of one line, as pieces of the text; |count| is kMostFields + 1
// for a line with more fields than any kind has.
struct Fields {
    Text at[kMostFields];
    size_t count = 0;
};

Fields SplitFields(Text line) {
    Fields fields;
    size_t start = 0;
    for (;;) {
        if (fields.count == kMostFields) {
            fields.count = kMostFields + 1;
            return fields;
        }
        const size_t tab = line.find('\t', start);
        fields.at[fields.count++] = line.substr(start, tab == Text::npos ? Text::npos : tab - start);
        if (tab == Text::npos) return fields;
        start = tab + 1;
    }
}

// The undo hands paths and value names to Windows as C strings: a NUL would
// cut them short (a different file or value), a control character is in no
// name an installation writes.
bool HasControl(Text text) {
    for (char ch : text)
        if (IsControl(ch)) return true;
    return false;
}

// A line as written holds no control character but its tabs: everything
// else is escaped.
bool HasRawControl(Text line) {
    for (char ch : line)
        if (IsControl(ch) && ch != '\t') return true;
    return false;
}

// A text that is no whole record: |why| says what is wrong.
RunResult Refused(std::string why) { return RunResult(RunOutcome::kRecordRefused, std::string(), 0, std::move(why)); }

// Reads line |number|, an entry line of kind |kind| split into |fields|,
// into |effect|; kRecordRefused saying what is wrong with it.
RunResult ParseEffect(const EffectKindInfo& kind, Text line, const Fields& fields, unsigned number, Effect& effect) {
    const auto wrong = [&](const char* what) {
        return Refused(FormatText("line %u: %s in a \"%s\" line", number, what, kind.name));
    };
    if (HasRawControl(line)) return wrong("a control character");
    const size_t count = fields.count - 1;
    const size_t named = NamedFields(kind.fields);
    // What stood there before is "-", or "+" and its type and data.
    const bool existed = kind.fields.before && count == named + 3;
    const bool digest = kind.fields.digest && count == named + 1;
    if (count != named + (kind.fields.before ? 1 : 0) && !existed && !digest) return wrong("wrong number of fields");
    effect = Effect();
    effect.kind = kind.kind;
    if (!Unescape(fields.at[1], effect.path) || (kind.fields.other && !Unescape(fields.at[2], effect.other)))
        return wrong("bad escape");
    if (effect.path.empty() || HasControl(effect.path) || HasControl(effect.other))
        return wrong("an empty path or a control character in a path or name");
    if (kind.filePaths && (!IsFullPath(effect.path) || (kind.fields.other && !IsFullPath(effect.other))))
        return wrong("a path that is not a full path");
    if (digest && (fields.at[named + 1].size() != 64 || !ParseHex(fields.at[named + 1], HexLetters::kLower, effect.data)))
        return wrong("bad digest");
    if (!kind.fields.before) return RunResult();
    const Text* before = &fields.at[named + 1];
    if (!existed) return before[0] == "-" ? RunResult() : wrong("no previous state");
    effect.existed = true;
    if (before[0] != "+" || !ParseNumber(before[1], effect.type) || !ParseHex(before[2], HexLetters::kUpper, effect.data))
        return wrong("bad previous value");
    return RunResult();
}

// Walks the lines of a text that ends in a line end, each without its line
// end and the CR before it.
class Lines {
public:
    explicit Lines(Text text) : m_text(text) {}
    bool Next(Text& line) {
        if (m_at >= m_text.size()) return false;
        const size_t end = m_text.find('\n', m_at);
        line = m_text.substr(m_at, end - m_at);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        m_at = end + 1;
        ++m_number;
        return true;
    }
    size_t Number() const { return m_number; }

private:
    Text m_text;
    size_t m_at = 0;
    size_t m_number = 0;
};

// Reads the next |entries| lines of |lines| as effects, appended to |effects|
// unless it is null.
RunResult ReadEntries(Lines& lines, uint32_t entries, std::vector<Effect>* effects, unsigned codePage) {
    Effect effect;
    Text line;
    for (uint32_t i = 0; i < entries; ++i) {
        lines.Next(line);
        const Fields fields = SplitFields(line);
        const EffectKindInfo* kind = KindNamed(fields.at[0]);
        const unsigned number = static_cast<unsigned>(lines.Number());
        if (!kind) return Refused(FormatText("line %u: unknown line %s", number, Quote(fields.at[0]).c_str()));
        const RunResult parsed = ParseEffect(*kind, line, fields, number, effect);
        if (parsed.Failed()) return parsed;
        if (!EffectInUtf8(effect, codePage))
            return Refused(FormatText("line %u: %s", number, codePage ? "not text in the system's code page" : "not UTF-8"));
        if (effects) effects->push_back(std::move(effect));
    }
    return RunResult();
}

// The number of entry lines that the last line of |text| (known to end in a
// line end) gives, checked against the lines there are.
RunResult ReadEntryCount(Text text, uint32_t& entries) {
    const size_t lineCount = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    Text last = text.substr(0, text.size() - 1);
    last = last.substr(last.rfind('\n') + 1);
    if (!last.empty() && last.back() == '\r') last.remove_suffix(1);
    const Fields end = SplitFields(last);
    if (lineCount < 3 || end.count != 2 || end.at[0] != "end")
        return Refused("the record has no last line: it is incomplete");
    if (!ParseNumber(end.at[1], entries) || entries != lineCount - 3)
        return Refused("the record holds a different number of lines than its last line says");
    return RunResult();
}

// Reads the product line |line| into |product|.
RunResult ReadProductLine(Text line, std::string& product) {
    if (HasRawControl(line)) return Refused("a control character in the product line");
    const Fields fields = SplitFields(line);
    if (fields.count != 2 || fields.at[0] != "product") return Refused("the record names no product");
    if (!Unescape(fields.at[1], product) || product.find('\0') != std::string::npos)
        return Refused("bad escape or a NUL in the product name");
    return RunResult();
}

// Reads |text|, known to end in a line end, into |parsed|.
RunResult ParseLines(Text text, InstallRecord& parsed, unsigned legacyCodePage) {
    // The first and the last line before anything is copied: a text that is
    // no record, or one whose last line does not count its lines, costs nothing.
    Lines lines(text);
    Text line;
    if (!lines.Next(line) || (line != kHeader && line != kUtf8Header))
        return Refused("not an uninstall record of version 1");
    // 0: the texts are UTF-8 already.
    const unsigned codePage = line == kUtf8Header ? 0 : legacyCodePage;
    uint32_t entries = 0;
    RunResult result = ReadEntryCount(text, entries);
    if (result.Failed()) return result;
    lines.Next(line);
    result = ReadProductLine(line, parsed.product);
    if (result.Failed()) return result;
    if (!InUtf8(parsed.product, codePage)) return Refused("the product name is not text in its encoding");
    // Each entry line is checked before any is kept, so that a damaged text
    // costs no more than its longest line, and a whole one its effects.
    Lines first = lines;
    result = ReadEntries(first, entries, nullptr, codePage);
    if (result.Failed()) return result;
    parsed.effects.reserve(entries);
    return ReadEntries(lines, entries, &parsed.effects, codePage);
}

}  // namespace

void InstallRecord::Add(EffectKind kind, const std::string& path, const std::string& other) {
    Effect effect;
    effect.kind = kind;
    effect.path = path;
    effect.other = other;
    Add(std::move(effect));
}

void InstallRecord::Add(Effect effect) {
    effects.push_back(std::move(effect));
    observer.Tell(effects.back());
}

std::string FormatRecordStart(const std::string& product, bool utf8) {
    return std::string(utf8 ? kUtf8Header : kHeader) + "\nproduct\t" + Escape(product) + "\n";
}

std::string FormatRecordLine(const Effect& effect) {
    const EffectKindInfo& kind = KindInfo(effect.kind);
    std::string text = kind.name;
    text += "\t" + Escape(effect.path);
    if (kind.fields.other) text += "\t" + Escape(effect.other);
    if (kind.fields.digest && !effect.data.empty())
        text += "\t" + HexText(effect.data.data(), effect.data.size(), HexLetters::kLower);
    if (kind.fields.before)
        text += effect.existed ? "\t+\t" + std::to_string(effect.type) + "\t" +
                                     HexText(effect.data.data(), effect.data.size(), HexLetters::kUpper)
                               : "\t-";
    return text + "\n";
}

std::string FormatInstallRecord(const InstallRecord& record) {
    std::string text = FormatRecordStart(record.product, !AllAscii(record));
    for (const Effect& effect : record.effects) text += FormatRecordLine(effect);
    text += "end\t" + std::to_string(record.effects.size()) + "\n";
    return text;
}

RunResult ParseInstallRecord(std::string_view text, InstallRecord& record, unsigned legacyCodePage) {
    record = InstallRecord();
    if (text.size() > kMaxInstallRecordSize)
        return Refused(FormatText("the record is larger than %u MB", unsigned(kMaxInstallRecordSize >> 20)));
    if (!text.empty() && text.back() != '\n') return Refused("the last line is cut off");
    // A record whose every line is checked may still hold more effects than
    // memory does: refused like any record that cannot be taken whole.
    try {
        InstallRecord parsed;
        const RunResult result = ParseLines(text, parsed, legacyCodePage);
        if (!result.Failed()) record = std::move(parsed);
        return result;
    } catch (const std::bad_alloc&) {
        return Refused("the record does not fit in memory");
    }
}

RunResult ParseRecordJournal(std::string_view text, InstallRecord& record) {
    // Its entries are its lines after the first two; the last line it lacks
    // is added, so that it is read as a whole record is.
    const size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    if (text.empty() || text.back() != '\n' || lines < 2) {
        record = InstallRecord();
        return Refused("the journal has no product line or ends in a cut line");
    }
    return ParseInstallRecord(std::string(text) + "end\t" + std::to_string(lines - 2) + "\n", record);
}
