// A file written under a temporary name in its destination's directory and
// put in its place only once it is complete, so that a failure part way
// leaves the old file, or no file, and never a truncated one.
#pragma once

#include "base/file_io.h"
#include "base/later_close.h"

#include <cstdio>
#include <string>

class StagedFile {
public:
    // Creates and opens (binary, for writing) a new temporary file beside
    // |dest|, named |prefix|, a unique part and |suffix|; Get() is null when
    // that cannot be done.
    explicit StagedFile(std::string dest, const std::string& prefix = "stg", const std::string& suffix = ".tmp");
    // Removes the temporary file unless Commit put it in place.
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    std::FILE* Get() const { return m_file.get(); }
    const std::string& TemporaryPath() const { return m_temporary; }

    // Closes the temporary file and keeps it under its temporary name, for
    // another program to work on by that name; Commit then puts it in place.
    // False when a write or the close failed: the temporary file is then
    // removed.
    bool Close();

    // Closes the temporary file (unless Close did) and renames it over the
    // destination (an existing destination is replaced). False when
    // a write, the close or the rename failed: the temporary file is then
    // removed and the destination is as it was. With |closer| the file, once
    // in place, may be closed after Commit returns.
    bool Commit(LaterClose* closer = nullptr);

    // For a destination that another program holds open: closes the file,
    // keeps it under its temporary name and has Windows rename it over the
    // destination at the next restart (MoveFileEx with
    // MOVEFILE_DELAY_UNTIL_REBOOT and MOVEFILE_REPLACE_EXISTING, which needs
    // an administrator's rights). True, with the temporary file's path in
    // |staged|, once that is scheduled: the file then stays where it is.
    // False when a write, the close or the scheduling failed (always where
    // there is no such restart, natively): the temporary file is removed.
    bool CommitAtRestart(std::string& staged);

    // Puts the file in its place now, as it is (a file then written while in
    // place, such as a log), and hands its stream over to the caller, who
    // writes on and closes it. What had the name is replaced, a link itself
    // and never what it leads to. Null when that cannot be done: the
    // temporary file is then removed.
    std::FILE* PlaceOpen();

private:
    void Discard();

    std::string m_dest;
    std::string m_temporary;  // empty when none was made, or once it is gone
    FilePtr m_file;
};

// Whether |name| is one that StagedFile gives a temporary file by default
// ("stg", one to eight lower-case hex digits, ".tmp"): what a run that was
// killed may leave beside its files.
bool IsStagedFileName(const std::string& name);

// Copies the file |from| to |to| through a StagedFile: |to| is the old file,
// or none, until the copy is complete. False when |from| cannot be read or
// the copy cannot be written or put in place.
bool CopyFileStaged(const std::string& from, const std::string& to);

// The same for the bytes of |from|, a stretch of an open file.
bool CopyRangeStaged(const FileRange& from, const std::string& to);
// The same for |bytes|.
bool WriteFileStaged(const std::string& to, const std::string& bytes);
