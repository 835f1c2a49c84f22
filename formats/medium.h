// The distribution medium: where setup.drc, setup.sum, the two texts and the
// compressed payloads come from. A folder medium has them as files (in the
// working directory; the welcome text beside the program); a single-file
// medium has them stored in setup.exe itself, at known stretches of the
// program file, which stays open for reading while the program runs.
//
// setup.sum, setup.drc and the texts are read once, at start-up, and checked
// against setup.sum; everything afterwards uses those bytes. Win32-free.
#pragma once

#include "base/file_io.h"
#include "base/legacy_text.h"
#include "formats/setup_sum.h"
#include "base/sha256.h"

#include "base/thread_sync.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// One file of the medium as read at start-up.
struct MediumText {
    std::string path;            // where a folder medium has it (for the log)
    bool present = false;        // it exists on the medium
    bool whole = false;          // every byte of it was read
    int openError = 0;           // the C runtime's errno when it could not be opened
    std::vector<uint8_t> bytes;  // what was read
};

// A file stored in a single-file medium: its name, as setup.sum compares
// names, and its stretch of the program file.
struct StoredFile {
    std::string name;
    uint64_t offset = 0;
    uint64_t size = 0;
};

// What a decoder keeps of a medium from one payload to the next (the solid
// blocks it has decoded, expand/solid_block.h): made on first use, it lasts
// as long as the medium.
class MediumCache {
public:
    virtual ~MediumCache();
};

class Medium {
public:
    // A folder medium, the welcome text looked for at |welcomePath|.
    void UseFolder(const std::string& welcomePath);
    // A single-file medium: |files| lie in |file|, which the medium keeps
    // open. The welcome text's |welcomePath| only names it in the log.
    void UseStored(FilePtr file, std::vector<StoredFile> files, const std::string& welcomePath);
    bool SingleFile() const { return m_file != nullptr; }

    // Reads setup.sum, setup.drc, the welcome text and the terms once, and
    // keeps setup.sum as Sum(). With |requiredSum| setup.sum must be there and
    // have that SHA-256. With a setup.sum, each of the three others that is
    // there must be listed in it and match. False, with |damaged| naming the
    // first file at fault, when anything is not so; a missing setup.drc is
    // left to the list's loader (List().present is false).
    //
    // The texts are made UTF-8 here, once checked: a welcome text or terms
    // that start with a UTF-8 byte order mark are UTF-8 (the mark is not
    // shown); others, and the names of setup.sum when the list is not marked
    // UTF-8 (file_list.h), were written in a code page and are converted from
    // |legacyCodePage| (a text that is not text there stays as it is).
    bool Load(std::string& damaged, const Sha256Digest* requiredSum = nullptr,
              unsigned legacyCodePage = SystemAnsiCodePage());

    // The stretch where the compressed file |name| lies. A folder's file is
    // opened into |owned|. False when the medium has no such file. Any
    // thread, under a StreamHold (below) until it has read the stretch.
    bool Open(const std::string& name, FilePtr& owned, FileRange& range) const;

    // The program file of a single-file medium is one stream, with one
    // position, for every reader: whoever reads a stretch Open gave holds
    // the stream's lock meanwhile (the run's thread, and the thread that
    // reads payloads ahead, PayloadPrefetch), as a StreamHold. (For a folder
    // medium it holds nothing.)
    // Lock order: it comes before the leaf locks of OverlappedSink and
    // LaterClose, which a payload decoded under it takes. A thread that
    // holds it never waits for a thread that may want it: in particular
    // never for a payload decoded ahead (PayloadPrefetch::Take), which may
    // still have to be read under this lock.
    class StreamHold {
    public:
        explicit StreamHold(const Medium& medium);
        ~StreamHold();
        StreamHold(const StreamHold&) = delete;
        StreamHold& operator=(const StreamHold&) = delete;

    private:
        ThreadLock* m_lock;  // null for a folder medium
    };

    // Reads the compressed file |name| whole into |bytes|, from any thread
    // (it takes a StreamHold itself).
    enum class ReadOutcome { kRead, kMissing, kFailed };
    ReadOutcome ReadWhole(const std::string& name, std::vector<uint8_t>& bytes) const;

    // The cache that |make| makes on the first call, from any thread; the
    // same one afterwards, until the medium changes (UseFolder, UseStored).
    MediumCache& Cache(const std::function<std::unique_ptr<MediumCache>()>& make) const;

    const MediumText& List() const { return m_list; }
    const MediumText& Welcome() const { return m_welcome; }
    const MediumText& Terms() const { return m_terms; }
    // What the payloads are checked against.
    const DistributionSum& Sum() const { return m_sum; }

private:
    MediumText Read(const std::string& name, const std::string& folderPath) const;

    FilePtr m_file;                 // the program file of a single-file medium
    std::vector<StoredFile> m_files;
    SumNameIndex m_byName;          // positions in m_files by name
    mutable ThreadLock m_streamLock;  // the StreamHold's: guards m_file's position
    std::string m_welcomePath;
    MediumText m_list, m_welcome, m_terms;
    DistributionSum m_sum;
    mutable ThreadLock m_cacheLock;
    mutable std::unique_ptr<MediumCache> m_cache;  // guarded by m_cacheLock
};

// Reads the file |path| of a folder medium whole.
MediumText ReadFolderText(const std::string& path);
