// libFuzzer target: the installer's list loader with the real macro loop.
//
// The input is five LF-terminated lines of macro values (Windows directory,
// system directory, Programs folder, Program Files directory, application
// directory; an empty one of the last three is a failed look-up or no
// directory), then the plain list. Values may hold macros themselves. The
// load must end, stay in bounds and keep every text within the expansion's
// bound; with values that cannot help to form a macro every macro is gone.
#include "formats/list_format.h"
#include "base/registry_roots.h"
#include "fuzz/fuzz_support.h"

#include <algorithm>

namespace {

// Values and lists are kept short: a value that names its own macro makes
// every record run up to the bounds, and the fuzzer should try many of them.
constexpr size_t kMaxValue = 32;
constexpr size_t kMaxList = 256;

// Takes the text up to the next LF (or all of it) off the front of |input|,
// at most kMaxValue characters of it.
std::string TakeValue(std::string& input) {
    const size_t end = input.find('\n');
    std::string line = input.substr(0, std::min(end, kMaxValue));
    input.erase(0, end == std::string::npos ? input.size() : end + 1);
    return line;
}

bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }

// A value can be part of a macro when it holds a question mark or starts as a
// macro name would go on after its question mark ("W" of "?W" + "INDOWS?").
bool CanFormMacro(const std::string& value) {
    return value.find('?') != std::string::npos ||
           (!value.empty() && IsUpper(value[0]) && (value.size() == 1 || IsUpper(value[1])));
}

bool HoldsMacro(const char* text) {
    for (const char* macro : kPathMacroNames)
        if (std::strstr(text, macro)) return true;
    return false;
}

// Checks one stored text: terminated within the bound, and macro-free when
// the values could not have left a macro in it.
void CheckText(const char* text, bool expectNoMacro) {
    Check(text != nullptr, "a filled record has a null text");
    Check(std::strlen(text) <= std::max(kMaxExpandedLength, kMaxLineContent), "a text outgrew the bound");
    Check(!expectNoMacro || !HoldsMacro(text), "a macro stayed in the text");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    GivenMacroValues values;
    values.windows = TakeValue(input);
    values.system = TakeValue(input);
    values.programs = TakeValue(input);
    values.programFiles = TakeValue(input);
    const std::string appDir = TakeValue(input);
    input.resize(std::min(input.size(), kMaxList));

    FileList list;
    std::string destDir;
    LoadPlainList(input, ExpandWith(values, appDir.empty() ? nullptr : appDir.c_str()), list, destDir);

    // When no value can help to form a macro, every replacement removes at
    // least 8 of the line's characters for good, so at most 64 are needed:
    // every macro goes unless the Programs folder fails.
    bool expectNoMacro = !values.programs.empty();
    const std::string appDirValue = appDir.empty() ? kAppDirPlaceholder : appDir;
    for (const std::string& value : {values.windows, values.system, values.programs, values.programFiles, appDirValue})
        expectNoMacro &= !CanFormMacro(value);

    for (const FileEntry& entry : list.m_files) {
        CheckText(entry.m_pszSource, expectNoMacro);
        CheckText(entry.m_pszDest, expectNoMacro);
    }
    for (const RegistryEntry& entry : list.m_regEntries) {
        CheckText(entry.m_pszPath, expectNoMacro);
        if (entry.m_pszType.Get() && std::strcmp(entry.m_pszType, "SZ") == 0) CheckText(entry.m_pszValue, expectNoMacro);
        // The registry walk's own split of what the loader stored.
        RegistryPathParts parts;
        const RegistryPathFault fault = SplitRegistryPath(ExactCopy(entry.m_pszPath.Get()).get(), entry.m_chSep, true, parts);
        Check((fault == RegistryPathFault::kNulSeparator) == (entry.m_chSep == '\0'), "NUL separator not refused");
    }
    for (const ShortcutEntry& entry : list.m_shortcuts) {
        CheckText(entry.m_pszLink, expectNoMacro);
        CheckText(entry.m_pszTarget, expectNoMacro);
        CheckText(entry.m_pszDescription, expectNoMacro);
    }
    for (const SharedFileEntry& entry : list.m_sharedFiles) CheckText(entry.m_strFragment.c_str(), expectNoMacro);
    CheckText(destDir.c_str(), expectNoMacro);
    CheckText(list.m_strProductVersion.c_str(), expectNoMacro);
    CheckText(list.m_strPublisher.c_str(), expectNoMacro);
    IsSharedFile(list, destDir.c_str());
    return 0;
}
