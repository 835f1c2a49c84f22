#include "tools/mksetup/sign.h"

#include "base/file_io.h"
#include "formats/overlay.h"
#include "tools/mksetup/command.h"

#include <algorithm>
#include <cstdlib>
#include <ostream>

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

namespace {

enum class PeState { kNotPe, kUnsigned, kSigned };

// Whether |data| is a PE image, and whether its certificate table (data
// directory 4, the Authenticode signature) is present and inside the file.
PeState InspectPe(const std::vector<uint8_t>& data) {
    PeLayout layout;
    if (!ReadPeLayout(data.data(), std::min(data.size(), kPeHeadSize), layout))
        return PeState::kNotPe;
    return layout.certificateSize != 0 && layout.certificateOffset + layout.certificateSize <= data.size()
               ? PeState::kSigned
               : PeState::kUnsigned;
}

// Runs |line| through the shell; empty when it ended with status 0, else what
// went wrong.
std::string RunShell(const std::string& line) {
#if defined(_WIN32)
    // cmd /c drops the first and the last quote of a line that holds quotes
    // of its own: one extra pair keeps the command as written.
    const int status = std::system(("\"" + line + "\"").c_str());
    const int exitStatus = status;
#else
    const int status = std::system(line.c_str());
    if (status != -1 && WIFSIGNALED(status))
        return "was ended by signal " + std::to_string(WTERMSIG(status));
    const int exitStatus = status == -1 ? -1 : WEXITSTATUS(status);
#endif
    if (status == -1)
        return "could not be started";
    if (exitStatus != 0)
        return "failed with exit status " + std::to_string(exitStatus);
    return std::string();
}

}  // namespace

std::string SigningCommandFor(const std::string& command, const std::string& path) {
#if defined(_WIN32)
    // A Windows path cannot hold a double quote.
    const std::string quoted = "\"" + path + "\"";
#else
    std::string quoted = "'";
    for (char c : path)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    quoted += '\'';
#endif
    std::string line;
    for (size_t i = 0; i < command.size(); ++i) {
        if (command.compare(i, 2, "{}") == 0) {
            line += quoted;
            ++i;
        } else {
            line += command[i];
        }
    }
    return line;
}

bool SignFiles(const std::string& command, const std::vector<std::string>& files, std::ostream& err) {
    for (const std::string& file : files) {
        err.flush();
        const std::string problem = RunShell(SigningCommandFor(command, file));
        if (!problem.empty()) {
            PrintError(err, "the signing command " + problem + " on " + file);
            return false;
        }
        std::vector<uint8_t> data;
        const PeState state = ReadWholeFile(file, data) ? InspectPe(data) : PeState::kNotPe;
        if (state == PeState::kNotPe) {
            PrintError(err, "the signing command left no valid PE file at " + file);
            return false;
        }
        if (state == PeState::kUnsigned) {
            PrintError(err, "the signing command ended well but left " + file + " without a signature");
            return false;
        }
    }
    return true;
}
