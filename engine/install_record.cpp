#include "engine/install_record.h"

InstallRecord theInstallRecord;

void RecordEffect(EffectKind kind, const std::string& path, const std::string& other) {
    Effect effect;
    effect.kind = kind;
    effect.path = path;
    effect.other = other;
    theInstallRecord.effects.push_back(effect);
}

namespace {

constexpr char kHeader[] = "SETUP UNINSTALL RECORD 1";

struct KindName {
    EffectKind kind;
    const char* name;
    size_t fields;  // after the name; a value that did not exist has 3, one that did 5
};

const KindName kKinds[] = {
    {EffectKind::kDirectory, "dir", 1},     {EffectKind::kFileNew, "new", 1},   {EffectKind::kFileOver, "over", 1},
    {EffectKind::kFileBackup, "backup", 2}, {EffectKind::kDllKept, "kept", 1},  {EffectKind::kSharedCount, "count", 1},
    {EffectKind::kShortcut, "link", 1},     {EffectKind::kRegistryKey, "key", 1}, {EffectKind::kRegistryValue, "value", 3},
};

const char kHex[] = "0123456789ABCDEF";

int HexDigit(char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    return -1;
}

// Texts may hold anything (registry data, odd file names): '%' and control
// characters are written as %XX, so a field never holds a tab or a line end.
std::string Escape(const std::string& text) {
    std::string out;
    for (char ch : text) {
        const unsigned char byte = static_cast<unsigned char>(ch);
        if (byte < 0x20 || ch == '%') {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

bool Unescape(const std::string& field, std::string& out) {
    out.clear();
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '%') {
            out += field[i];
            continue;
        }
        if (i + 2 >= field.size()) return false;
        const int high = HexDigit(field[i + 1]), low = HexDigit(field[i + 2]);
        if (high < 0 || low < 0) return false;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return true;
}

std::string ToHex(const std::string& bytes) {
    std::string out;
    for (char ch : bytes) {
        out += kHex[static_cast<unsigned char>(ch) >> 4];
        out += kHex[static_cast<unsigned char>(ch) & 15];
    }
    return out;
}

bool FromHex(const std::string& hex, std::string& out) {
    out.clear();
    if (hex.size() % 2) return false;
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int high = HexDigit(hex[i]), low = HexDigit(hex[i + 1]);
        if (high < 0 || low < 0) return false;
        out += static_cast<char>(high * 16 + low);
    }
    return true;
}

// A decimal number of at most 10 digits that fits 32 bits.
bool ParseNumber(const std::string& text, uint32_t& value) {
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

std::vector<std::string> SplitFields(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

bool ParseEffect(const std::vector<std::string>& fields, Effect& effect, std::string& error) {
    const KindName* kind = nullptr;
    for (const KindName& k : kKinds)
        if (fields[0] == k.name) kind = &k;
    if (!kind) {
        error = "unknown line \"" + fields[0] + "\"";
        return false;
    }
    const size_t count = fields.size() - 1;
    const bool valueBefore = kind->kind == EffectKind::kRegistryValue && count == 5;
    if (count != kind->fields && !valueBefore) {
        error = "wrong number of fields in a \"" + fields[0] + "\" line";
        return false;
    }
    effect = Effect();
    effect.kind = kind->kind;
    if (!Unescape(fields[1], effect.path) || (count >= 2 && !Unescape(fields[2], effect.other))) {
        error = "bad escape in a \"" + fields[0] + "\" line";
        return false;
    }
    if (kind->kind != EffectKind::kRegistryValue) return true;
    if (!valueBefore) {
        if (fields[3] == "-") return true;
        error = "a value line without its previous state";
        return false;
    }
    effect.existed = true;
    if (fields[3] != "+" || !ParseNumber(fields[4], effect.type) || !FromHex(fields[5], effect.data)) {
        error = "bad previous value in a \"value\" line";
        return false;
    }
    return true;
}

}  // namespace

std::string FormatInstallRecord(const InstallRecord& record) {
    std::string text = std::string(kHeader) + "\n";
    text += "product\t" + Escape(record.product) + "\n";
    for (const Effect& effect : record.effects) {
        for (const KindName& k : kKinds)
            if (k.kind == effect.kind) text += k.name;
        text += "\t" + Escape(effect.path);
        if (effect.kind == EffectKind::kFileBackup || effect.kind == EffectKind::kRegistryValue)
            text += "\t" + Escape(effect.other);
        if (effect.kind == EffectKind::kRegistryValue)
            text += effect.existed ? "\t+\t" + std::to_string(effect.type) + "\t" + ToHex(effect.data) : "\t-";
        text += "\n";
    }
    text += "end\t" + std::to_string(record.effects.size()) + "\n";
    return text;
}

bool ParseInstallRecord(const std::string& text, InstallRecord& record, std::string& error) {
    record = InstallRecord();
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            error = "the last line is cut off";
            return false;
        }
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    if (lines.empty() || lines[0] != kHeader) {
        error = "not an uninstall record of version 1";
        return false;
    }
    InstallRecord parsed;
    bool ended = false, named = false;
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string> fields = SplitFields(lines[i]);
        if (ended) {
            error = "text after the last line";
            return false;
        }
        if (fields[0] == "product" && fields.size() == 2 && i == 1) {
            if (!Unescape(fields[1], parsed.product)) {
                error = "bad escape in the product name";
                return false;
            }
            named = true;
            continue;
        }
        if (fields[0] == "end" && fields.size() == 2) {
            uint32_t count = 0;
            if (!ParseNumber(fields[1], count) || count != parsed.effects.size()) {
                error = "the record holds a different number of lines than its last line says";
                return false;
            }
            ended = true;
            continue;
        }
        if (fields.size() < 2) {
            error = "line " + std::to_string(i + 1) + ": not a record line";
            return false;
        }
        Effect effect;
        if (!ParseEffect(fields, effect, error)) {
            error = "line " + std::to_string(i + 1) + ": " + error;
            return false;
        }
        parsed.effects.push_back(effect);
    }
    if (!named || !ended) {
        error = named ? "the record has no last line: it is incomplete" : "the record names no product";
        return false;
    }
    record = parsed;
    return true;
}
