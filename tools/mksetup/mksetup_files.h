// File helpers of the packaging tool: writes that never leave a partial file
// under the final name, nor a temporary file after an interrupt. (Whole-file
// reads: base/file_io.h.)
#pragma once

#include "base/staged_file.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The tool holds every path as UTF-8 text, as it reads names from the list.
// std::filesystem takes and gives a narrow string in the system's ANSI code
// page on Windows, which would turn a name outside it into another name: these
// two convert at that edge (on other systems they change nothing).
std::filesystem::path FsPath(const std::string& utf8);
std::string Utf8Of(const std::filesystem::path& path);

// Names the temporary file that is being written, for as long as it lives, so
// that an interrupt removes it (see RemoveTemporaryFileOnInterrupt). One at a
// time; it does not remove the file itself.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path);
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile();
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// A StagedFile (base/staged_file.h) whose temporary file, "NAME.mksetup-tmp",
// a unique part and |suffix| beside |path|, an interrupt removes. One at a
// time, as TemporaryFile.
class ToolStagedFile {
public:
    explicit ToolStagedFile(const std::string& path, const std::string& suffix = "");
    ~ToolStagedFile();
    ToolStagedFile(const ToolStagedFile&) = delete;
    ToolStagedFile& operator=(const ToolStagedFile&) = delete;

    StagedFile& operator*() { return *m_file; }
    StagedFile* operator->() { return &*m_file; }

private:
    std::optional<TemporaryFile> m_named;  // declared first: it outlives the file
    std::optional<StagedFile> m_file;
};

// Writes data to a temporary name beside path and renames it to path once it
// is complete; on failure nothing is left under either name.
bool WriteFileAtomically(const std::string& path, const uint8_t* data, size_t size);

// Makes SIGINT and SIGTERM remove the current temporary file before they end
// the program as they otherwise would.
void RemoveTemporaryFileOnInterrupt();

// The file folder/name, where name may use backslashes for subfolders and
// may differ from the real file in the case of its letters (lists are often
// written on Windows).  Empty when there is no such file.
std::string FindFileIn(const std::string& folder, const std::string& name);
