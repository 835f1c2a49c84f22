#include "formats/path_macros.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// Spans of the text that hold an inserted application directory, [first,
// second), disjoint and in text order.
using Spans = std::vector<std::pair<size_t, size_t>>;

// First occurrence of |name| that does not overlap an inserted application directory.
size_t FindOutsideSpans(const std::string& text, const std::string& name, const Spans& spans) {
    size_t pos = text.find(name);
    while (pos != std::string::npos) {
        // The first span that ends after pos is the only one the occurrence can start in or run into first.
        auto span = std::upper_bound(spans.begin(), spans.end(), pos,
                                     [](size_t p, const std::pair<size_t, size_t>& s) { return p < s.second; });
        if (span == spans.end() || span->first >= pos + name.size()) return pos;
        pos = text.find(name, span->second);
    }
    return std::string::npos;
}

}  // namespace

void ExpandPathMacrosWith(MacroValues& values, std::string& text, const char* appDir) {
    Spans spans;
    for (int replacements = 0;; ++replacements) {
        int macro = kPathMacroCount;
        size_t pos = std::string::npos;
        for (int m = 0; m < kPathMacroCount; ++m) {
            pos = FindOutsideSpans(text, kPathMacroNames[m], spans);
            if (pos != std::string::npos) {
                macro = m;
                break;
            }
        }
        if (macro == kPathMacroCount || replacements == kMaxMacroReplacements) return;

        std::string value;
        switch (macro) {
        case kMacroWindows: value = values.WindowsDirectory(); break;
        case kMacroSystem: value = values.SystemDirectory(); break;
        case kMacroAppDir: value = appDir ? appDir : kAppDirPlaceholder; break;
        case kMacroStartMenu:
            if (!values.ProgramsFolder(value)) return;
            break;
        case kMacroProgramFiles:
            if (!values.ProgramFilesDirectory(value)) value = kDefaultProgramFiles;
            break;
        }
        size_t nameLength = std::char_traits<char>::length(kPathMacroNames[macro]);
        if (text.size() - nameLength + value.size() > kMaxExpandedLength) return;
        text.replace(pos, nameLength, value);
        // Shift the spans that lie after the replaced macro; none overlaps it.
        auto after = std::lower_bound(spans.begin(), spans.end(), pos + nameLength,
                                      [](const std::pair<size_t, size_t>& s, size_t p) { return s.first < p; });
        for (auto span = after; span != spans.end(); ++span) {
            span->first = span->first - nameLength + value.size();
            span->second = span->second - nameLength + value.size();
        }
        if (macro == kMacroAppDir) spans.insert(after, {pos, pos + value.size()});
    }
}
