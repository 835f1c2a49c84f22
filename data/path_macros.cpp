#include "data/path_macros.h"

#include <utility>
#include <vector>

namespace {

// Indexes into kPathMacroNames.
enum Macro { kWindows, kSystem, kAppDir, kStartMenu, kProgramFiles, kMacroCount = kPathMacroCount };

// Spans of the text that hold an inserted application directory: [first, second).
using Spans = std::vector<std::pair<size_t, size_t>>;

// First occurrence of |name| that does not overlap an inserted application directory.
size_t FindOutsideSpans(const std::string& text, const std::string& name, const Spans& spans) {
    for (size_t pos = text.find(name); pos != std::string::npos; pos = text.find(name, pos + 1)) {
        bool overlaps = false;
        for (const auto& span : spans)
            if (pos < span.second && span.first < pos + name.size()) overlaps = true;
        if (!overlaps) return pos;
    }
    return std::string::npos;
}

}  // namespace

void ExpandPathMacrosWith(MacroValues& values, std::string& text, const char* appDir) {
    Spans spans;
    for (int replacements = 0;; ++replacements) {
        int macro = kMacroCount;
        size_t pos = std::string::npos;
        for (int m = 0; m < kMacroCount; ++m) {
            pos = FindOutsideSpans(text, kPathMacroNames[m], spans);
            if (pos != std::string::npos) {
                macro = m;
                break;
            }
        }
        if (macro == kMacroCount || replacements == kMaxMacroReplacements) return;

        std::string value;
        switch (macro) {
        case kWindows: value = values.WindowsDirectory(); break;
        case kSystem: value = values.SystemDirectory(); break;
        case kAppDir: value = appDir ? appDir : kAppDirPlaceholder; break;
        case kStartMenu:
            if (!values.ProgramsFolder(value)) return;
            break;
        case kProgramFiles:
            if (!values.ProgramFilesDirectory(value)) value = kDefaultProgramFiles;
            break;
        }
        size_t nameLength = std::char_traits<char>::length(kPathMacroNames[macro]);
        if (text.size() - nameLength + value.size() > kMaxExpandedLength) return;
        text.replace(pos, nameLength, value);
        // Shift the spans that lie after the replaced macro.
        for (auto& span : spans) {
            if (span.first >= pos + nameLength) {
                span.first = span.first - nameLength + value.size();
                span.second = span.second - nameLength + value.size();
            }
        }
        if (macro == kAppDir) spans.emplace_back(pos, pos + value.size());
    }
}
