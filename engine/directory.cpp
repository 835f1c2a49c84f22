#include "engine/directory.h"

#include "base/file_system.h"
#include "base/path_parts.h"

#include <algorithm>

RunResult EnsureDirectory(const std::string& path, InstallLog& log, InstallRecord& record, std::string* pKnown,
                          bool* pMade) {
    if (pMade) *pMade = false;
    const std::string dirPart = SplitPath(path, "\\").directory;
    if (dirPart.empty()) return RunResult(RunOutcome::kDirectoryFailed);

    // The part before the first backslash (a drive, or nothing) is never
    // made, nor the server and share of a UNC path: they cannot be created,
    // only what lies below them.
    size_t from = dirPart.find('\\') + 1;
    if (dirPart.compare(0, 2, "\\\\") == 0) from = std::max(from, PathRootLength(dirPart));
    // Nor the levels it shares with the directory made sure of before.
    if (pKnown) {
        const size_t common =
            std::mismatch(dirPart.begin(), dirPart.begin() + std::min(dirPart.size(), pKnown->size()), pKnown->begin())
                .first -
            dirPart.begin();
        const size_t lastShared = dirPart.rfind('\\', common - (common > 0));
        if (common > 0 && lastShared != std::string::npos) from = std::max(from, lastShared + 1);
    }
    for (size_t i = from; i < dirPart.size(); ++i) {
        if (dirPart[i] != '\\') continue;
        const std::string level = dirPart.substr(0, i);
        if (MakeDirectory(level)) {
            WriteLog(log, "Created: %s", level.c_str());
            record.Add(EffectKind::kDirectory, level);
            if (pMade) *pMade = i + 1 == dirPart.size();
            continue;
        }
        const DWORD error = GetLastError();
        if (error == ERROR_ALREADY_EXISTS) continue;
        return RunResult(RunOutcome::kDirectoryFailed, level, error);
    }
    WriteLog(log, "Directory %s certified to be ok", path.c_str());
    if (pKnown) *pKnown = dirPart;
    return RunResult();
}
