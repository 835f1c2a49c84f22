#include "tools/mksetup/sign.h"

#include "data/file_io.h"

#include <cstdlib>
#include <ostream>

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

namespace {

enum class PeState { kNotPe, kUnsigned, kSigned };

uint32_t ReadLe(const std::vector<uint8_t>& data, size_t at, size_t bytes) {
    uint32_t value = 0;
    for (size_t i = bytes; i-- > 0;)
        value = (value << 8) | data[at + i];
    return value;
}

// Whether |data| is a PE image, and whether its certificate table (data
// directory 4, the Authenticode signature) is present and inside the file.
PeState InspectPe(const std::vector<uint8_t>& data) {
    if (data.size() < 0x40 || data[0] != 'M' || data[1] != 'Z')
        return PeState::kNotPe;
    const size_t pe = ReadLe(data, 0x3C, 4);
    const size_t optional = pe + 24;   // after "PE\0\0" and the file header
    if (pe > data.size() || data.size() - pe < 24 + 2 || ReadLe(data, pe, 4) != 0x4550)
        return PeState::kNotPe;
    const size_t optionalSize = ReadLe(data, pe + 20, 2);
    const uint32_t magic = ReadLe(data, optional, 2);
    size_t countAt;
    if (magic == 0x10B)
        countAt = 92;   // PE32
    else if (magic == 0x20B)
        countAt = 108;  // PE32+
    else
        return PeState::kNotPe;
    if (optionalSize < countAt + 4 || data.size() - optional < optionalSize)
        return PeState::kNotPe;
    const size_t certificateEntry = countAt + 4 + 4 * 8;
    if (ReadLe(data, optional + countAt, 4) <= 4 || optionalSize < certificateEntry + 8)
        return PeState::kUnsigned;
    const uint64_t offset = ReadLe(data, optional + certificateEntry, 4);
    const uint64_t size = ReadLe(data, optional + certificateEntry + 4, 4);
    return size != 0 && offset + size <= data.size() ? PeState::kSigned : PeState::kUnsigned;
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
            err << "mksetup: the signing command " << problem << " on " << file << "\n";
            return false;
        }
        std::vector<uint8_t> data;
        const PeState state = ReadWholeFile(file, data) ? InspectPe(data) : PeState::kNotPe;
        if (state == PeState::kNotPe) {
            err << "mksetup: the signing command left no valid PE file at " << file << "\n";
            return false;
        }
        if (state == PeState::kUnsigned) {
            err << "mksetup: the signing command ended well but left " << file << " without a signature\n";
            return false;
        }
    }
    return true;
}
