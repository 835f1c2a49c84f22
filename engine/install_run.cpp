#include "engine/install_run.h"

#include "base/ascii.h"
#include "engine/file_list_win.h"
#include "formats/medium_files.h"
#include "base/path_parts.h"
#include "engine/directory.h"
#include "engine/expand_payload.h"
#include "engine/file_placement.h"
#include "engine/files_in_use.h"
#include "base/format_text.h"
#include "base/wide_text.h"
#include "engine/install_record.h"
#include "engine/path_names.h"
#include "engine/registry_values.h"
#include "engine/run_report.h"
#include "engine/shortcuts.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// A file name, given in capitals, that no other spelling can name (no short
// name, trailing dot or blank, letter beyond ASCII that a file system may
// fold, stream, device, or temporary name of StagedFile's): two such names
// are the same file exactly when they are equal in capitals.
bool PlainFileName(const std::string& upper) {
    if (upper.empty() || upper.back() == '.' || upper.back() == ' ') return false;
    for (const char ch : upper)
        if (static_cast<unsigned char>(ch) < 0x20 || static_cast<unsigned char>(ch) > 0x7E ||
            std::strchr("~:/\\*?\"<>|", ch))
            return false;
    const std::string base = upper.substr(0, upper.find('.'));
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"})
        if (base == device) return false;
    if (base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0)) return false;
    return !(upper.compare(0, 3, "STG") == 0 && upper.size() >= 7 && upper.compare(upper.size() - 4, 4, ".TMP") == 0);
}

// Whether the payload that goes to |dest| is decoded ahead (DecodeAhead)
// and taken from there by its expand step: every file's but a DLL's, which
// its version check may keep out (and which is decoded for that check
// anyway). One test for both: a payload decoded ahead and never taken would
// stop every one after it from being taken.
bool DecodedAhead(const std::string& dest) { return !IsDllPath(dest); }

}  // namespace

InstallRun::InstallRun(RunUi& ui, SetupObjects& setup, std::string destDir)
    : m_ui(ui),
      m_log(setup.log),
      m_list(setup.list),
      m_strDefaultDestDir(setup.DefaultDestDir),
      m_medium(setup.medium),
      m_strDestDir(std::move(destDir)) {}

void InstallRun::SetUninstaller(UninstallerSource source) {
    m_uninstaller = std::move(source);
    m_bUninstaller = true;
}

void InstallRun::Open() {
    m_record = InstallRecord();
    WriteLog(m_log, "Decompression box opened");
}

void InstallRun::Close() { WriteLog(m_log, "Destroying decompression box"); }

int InstallRun::FileCount() const { return static_cast<int>(m_list.m_files.size()); }

void InstallRun::Report(const RunResult& failure) { ReportFailure(failure, m_ui, m_log, m_list); }

RunResult InstallRun::End(RunResult ending) {
    const bool failed = ending.what != RunOutcome::kCompleted && m_nStep >= 0;
    // A run that fails records what it did all the same, quietly: after the
    // failure's lines come only what could not be recorded and an earlier
    // record that the new one replaces, if any. One that undoes its changes
    // records nothing: the earlier record stays as it is.
    if (failed && !m_bUndoOnFailure && m_bUninstaller) Report(MakeRemovable(false));
    m_nStep = -1;
    m_ahead.reset();
    m_closer.reset();
    // Once every file is closed and nothing is written ahead any more.
    if (failed && m_bUndoOnFailure) UndoChanges();
    m_tempFolder.Remove();
    return ending;
}

void InstallRun::UndoChanges() {
    if (m_record.effects.empty()) return;  // nothing changed
    WriteLog(m_log, "Undoing the installation's changes");
    RestoreEarlierRecord();
    const size_t stayed = StayedItems(UndoFailedRun(m_record, m_setAside, m_log)).size();
    if (stayed == 0) {
        WriteLog(m_log, "Installation undone");
        return;
    }
    WriteLog(m_log, "Installation not completely undone: %u item(s) could not be put back or removed",
             static_cast<unsigned>(stayed));
    // A file that could not be put back is still kept aside (its line says
    // where): the folder stays with it.
    for (const SetAsideFile& kept : m_setAside)
        if (PathAttributes(kept.aside) != INVALID_FILE_ATTRIBUTES) return m_tempFolder.Keep();
}

RunResult InstallRun::Fail(RunResult failure) {
    Report(failure);
    return End(std::move(failure));
}

RunResult InstallRun::Prepare(HWND owner) {
    const RunResult made = EnsureDirectory(m_strDestDir + "\\", m_log, m_record);
    if (made.Failed()) return Fail(RunResult(RunOutcome::kDestDirFailed, m_strDestDir, made.error).Because(made));
    const std::string logPath = m_strDestDir + "\\SETUP.LOG";
    if (!m_log.OpenLogFile(logPath) &&
        !m_ui.ShowBox(RunBox::kQuestion, "Failed to create setup log file, do you wish try to continue?"))
        return End(RunResult(RunOutcome::kLogRefused, logPath));
    // Also after "continue without a log file": the steps need the paths
    // resolved against the destination directory.
    // The list read and checked at start-up, never the folder's file again:
    // what was checked is what gets installed.
    const MediumText& list = m_medium.List();
    if (!list.present || !LoadFileList(owner, list.bytes, m_strDestDir.c_str(), m_list, m_strDefaultDestDir))
        return Fail(RunResult(RunOutcome::kListFailed, kFileListName).And(m_strDestDir));
    const RunResult checked = CheckTemporaryDirectory();
    if (m_nStep >= 0 && m_bUninstaller) StartJournal();
    return checked;
}

void InstallRun::LoadEarlierRecord() {
    if (m_bEarlierLoaded) return;
    m_bEarlierLoaded = true;
    // Installing again keeps what the earlier installation did: one
    // uninstallation then undoes both. Only a record that the registry
    // vouches for, though: one that someone else put there is not obeyed
    // later, and the new record replaces it.
    const std::string path = InDest(kInstallRecordName);
    if (PathAttributes(path) == INVALID_FILE_ATTRIBUTES) return;
    const RunResult earlier = LoadInstallRecord(m_strDestDir, m_earlier);
    if (earlier.Failed()) m_strEarlierRefused = earlier.detail.empty() ? std::string("refused") : earlier.detail;
}

void InstallRun::StartJournal() {
    LoadEarlierRecord();
    const std::string record = InDest(kInstallRecordName);
    const std::string uninstaller = InDest(kUninstallerName);
    if (m_bUndoOnFailure) {
        // What a failed run puts back: the record's bytes, and the earlier
        // uninstaller kept aside in the private folder.
        m_bEarlierFile = PathAttributes(record) != INVALID_FILE_ATTRIBUTES;
        if (m_bEarlierFile && !ReadWholeFile(record, m_earlierFile)) return;
        if (PathAttributes(uninstaller) != INVALID_FILE_ATTRIBUTES) {
            const std::string aside = m_strTempPath + "\\0-" + kUninstallerName;
            if (m_strTempPath.empty() || !CopyPath(uninstaller, aside, true)) return;
            m_strUninstallerAside = aside;
        }
    }
    m_bJournalBegun = true;
    if (CopyUninstaller(m_uninstaller, m_strDestDir).Failed()) return;
    m_bUninstallerCopied = true;
    // Registered before anything else happens, without the record's digest
    // (an earlier record stays vouched for by it), and with the journal's
    // value, each recorded with what it held before.
    const RunResult registered = RegisterUninstaller(m_uninstaller, m_strDestDir, 0, m_record, nullptr, false);
    if (registered.Failed()) return;
    m_strUninstallKey = registered.path;
    if (!WriteRegistryString((m_strUninstallKey + "\\" + kRecordJournalValue).c_str(), "", '\\', m_record)) return;
    std::vector<Effect> effects = m_earlier.effects;
    effects.insert(effects.end(), m_record.effects.begin(), m_record.effects.end());
    if (m_journal.Begin(m_strDestDir, m_strUninstallKey, m_uninstaller.productName, effects))
        m_record.observer.Set(&m_journal);
}

void InstallRun::JournalAhead(const Effect& placed) {
    std::vector<Effect> ahead{placed};
    // Each line written costs a registry write (the journal's value), which
    // under Wine costs more than placing a small file: the files of the next
    // entries are written ahead with this one, as placed where there was
    // none. Undone, such a line removes what is at its path, as the line of
    // a file placed over another would: what the run would have replaced.
    // (Not a DLL's: its placement depends on its version and its count.)
    const int entry = m_nStep / 10;
    if (placed.kind == EffectKind::kFileNew && entry >= m_nJournalAheadTo) {
        constexpr int kAhead = 64;
        m_nJournalAheadTo = std::min(FileCount(), entry + kAhead);
        for (int next = entry + 1; next < m_nJournalAheadTo; ++next) {
            const std::string dest = m_list.m_files[size_t(next)].m_pszDest.OrEmpty();
            if (IsDllPath(dest)) continue;
            Effect effect;
            effect.kind = EffectKind::kFileNew;
            effect.path = dest;
            ahead.push_back(std::move(effect));
        }
    }
    m_journal.Ahead(ahead);
}

void InstallRun::RestoreEarlierRecord() {
    m_journal.Close();
    if (!m_bJournalBegun) return;
    const std::string record = InDest(kInstallRecordName);
    const std::string uninstaller = InDest(kUninstallerName);
    // The record first: the earlier one is vouched for by its digest, which
    // the run has not changed; the journal value goes with the registration
    // after it.
    RunResult restored;
    if (m_bEarlierFile)
        restored = SaveInstallRecord(std::string(m_earlierFile.begin(), m_earlierFile.end()), m_strDestDir);
    else if (!DeletePath(record)) {
        const DWORD error = GetLastError();
        if (PathAttributes(record) != INVALID_FILE_ATTRIBUTES) restored = RunResult(RunOutcome::kStayed, record, error);
    }
    if (restored.Failed())
        WriteLog(m_log, "Could not restore %s: %s", record.c_str(), FormatSystemError(restored.error).c_str());
    if (!m_bUninstallerCopied) return;
    const bool back =
        m_strUninstallerAside.empty()
            ? DeletePath(uninstaller)
            : MovePath(m_strUninstallerAside, uninstaller, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
    if (!back)
        WriteLog(m_log, "Could not restore %s: %s", uninstaller.c_str(), FormatSystemError(GetLastError()).c_str());
}

void InstallRun::DecodeAhead(unsigned threads) {
    if (m_nStep < 0 || threads == 0) return;
    // The payloads in the order the expand steps ask for them.
    std::vector<PayloadJob> jobs;
    for (const FileEntry& entry : m_list.m_files) {
        const std::string dest = entry.m_pszDest.OrEmpty();
        if (DecodedAhead(dest))
            jobs.push_back(PayloadJob{entry.m_pszSource.OrEmpty(), dest, SplitPath(dest, "\\").directory});
    }
    // The run's own thread, which places the files and waits on the system
    // for each, goes first; decoding takes the processor time left.
    m_ahead.reset(new PayloadPrefetch(m_medium, std::move(jobs), threads,
                                      [] { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL); }));
    m_closer.reset(new LaterClose());
}

RunResult InstallRun::CheckTemporaryDirectory() {
    const std::string root = TemporaryDirectory();
    const std::string withSlash = root + "\\";
    WriteLog(m_log, "Temporary path: %s", withSlash.c_str());
    const RunResult made = EnsureDirectory(withSlash, m_log, m_record);
    if (made.Failed()) Report(RunResult(RunOutcome::kTempDirFailed, withSlash).Because(made));

    bool found, isDirectory;
    {
        FindFirst search(root);
        found = search.Found();
        isDirectory = search.IsDirectory();
    }
    if (found && !isDirectory) return Fail(RunResult(RunOutcome::kTempIsFile, root));
    if (found) WriteLog(m_log, "Temporary path exists and is ok");

    // What the run writes outside the destination goes into a folder of its
    // own below the temporary directory (see private_folder.h), named in a
    // line of its own. Without one, the temporary path stays empty and a DLL
    // that needs a temporary copy ends the run.
    const RunResult folder = m_tempFolder.Create(root);
    if (folder.Failed()) {
        Report(folder);
        return RunResult();
    }
    m_strTempPath = m_tempFolder.Path();
    WriteLog(m_log, "Private temporary folder: %s\\", m_strTempPath.c_str());
    return RunResult();
}

RunResult InstallRun::Step() {
    if (m_nStep < 0) return RunResult();
    const int i = m_nStep / 10;
    switch (m_nStep % 10) {
    case 0: return i < FileCount() ? CheckStep(i) : FinalStep();
    case 1: return ExpandStep();
    default: return RunResult();
    }
}

RunResult InstallRun::CheckStep(int i) {
    const FileEntry& entry = m_list.m_files[size_t(i)];
    m_strSource = entry.m_pszSource.OrEmpty();
    std::string dest = entry.m_pszDest.OrEmpty();
    std::string fileName = GetPathFileName(dest);

    // A shared file is kept out of what the user sees.
    std::string status = "Checking " + fileName;
    if (!IsSharedFile(m_list, status.c_str())) m_ui.ShowStatus(status, i);

    m_strDest = dest;
    if (IsDllPath(dest)) {
        // A DLL's version check reads what may be a file placed a moment ago.
        WaitForCloses();
        WriteLog(m_log, "Destination pathname: %s", m_strDest.c_str());
        if (!IncrementSharedDllCount(m_strDest.c_str(), m_record)) {
            const DWORD error = GetLastError();
            Report(RunResult(RunOutcome::kCountNotRaised, m_strDest, error));
        }
        RunResult why;
        switch (DecideDllReplacement(m_strDest, m_strSource, m_strTempPath, m_medium, m_log, why)) {
        case DllDecision::Abort: return Fail(why);
        case DllDecision::Keep:
            m_record.Add(EffectKind::kDllKept, m_strDest);
            m_nStep += 10;
            return RunResult();
        case DllDecision::Replace: break;
        }
    }
    WriteLog(m_log, "Dest Path Name: %s", m_strDest.c_str());
    m_ui.ShowStatus("Expanding " + fileName, i);
    m_nStep += 1;
    return RunResult();
}

RunResult InstallRun::ExpandStep() {
    // What the placement does to the destination, for the uninstaller: told
    // before the expansion, which may leave a file behind when it fails, and
    // recorded once its outcome is known.
    Effect placed;
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    const RunResult prepared = PrepareDestination(placed, attributes);
    if (prepared.Failed()) return Fail(RunResult(RunOutcome::kBackupFailed, m_strDest).Because(prepared));
    if (m_bUndoOnFailure && placed.kind == EffectKind::kFileOver && !m_bDestInUse) {
        // A file that a program holds can be neither kept aside nor replaced
        // now: it is replaced when Windows restarts, which a failure cancels.
        const RunResult kept = SetAside(m_strDest);
        if (kept.Failed() && FileInUse(m_strDest))
            m_bDestInUse = true;
        else if (kept.Failed())
            return Fail(RunResult(RunOutcome::kExpandFailed, m_strDest).Because(kept));
    }

    WriteLog(m_log, "Will decompress %s to %s", m_strSource.c_str(), m_strDest.c_str());
    // Written down before the file is there: a run killed while placing it
    // leaves a record that removes it.
    JournalAhead(placed);
    // The attributes read before still hold unless a DLL was moved into
    // Backup (a file set aside is refused or replaced as if it were there).
    InUsePlacement inUse;  // a destination in use is replaced at restart
    inUse.known = m_bDestInUse;
    const RunResult expanded = ExpandPayload(m_strSource.c_str(), m_strDest.c_str(), m_medium,
                                             placed.kind == EffectKind::kFileBackup ? nullptr : &attributes,
                                             DecodedAhead(m_strDest) ? m_ahead.get() : nullptr, m_closer.get(),
                                             &inUse);
    if (expanded.Failed()) {
        // A damaged payload is reported as such; another failure gets the
        // expander's box, then the run's own box and line.
        RunResult failure = expanded.what == RunOutcome::kDamaged
                                ? expanded
                                : RunResult(RunOutcome::kExpandFailed, m_strDest).Because(expanded);
        Report(failure);
        // The run ends without the new DLL: the old one goes back where it
        // was, and the record does not say it was moved.
        const RunResult restored =
            placed.kind == EffectKind::kFileBackup ? RestoreOldDll(m_strDest, m_strDestDir, m_log) : RunResult();
        Report(restored);
        if (placed.kind != EffectKind::kFileBackup || restored.Failed()) m_record.Add(placed);
        return End(std::move(failure));
    }
    if (inUse.staged.empty()) {
        WriteLog(m_log, "File decompressed ok");
    } else {
        WriteLog(m_log, "File in use, replaced when Windows restarts: %s", m_strDest.c_str());
        placed.kind = EffectKind::kFileAtRestart;
        placed.other = inUse.staged;
        m_bRestartNeeded = true;
    }
    m_record.Add(std::move(placed));
    m_nStep += 9;
    return RunResult();
}

RunResult InstallRun::PrepareDestination(Effect& placed, DWORD& attributes) {
    placed.path = m_strDest;
    m_bDestInUse = false;
    // (The attributes tell whether a file stands there as a find-first
    // search would, without opening the directory: under Wine that is a
    // round trip to the server per file.)
    const auto readAttributes = [&](bool knownAbsent) {
        attributes = knownAbsent ? INVALID_FILE_ATTRIBUTES : PathAttributes(m_strDest);
        placed.kind = attributes != INVALID_FILE_ATTRIBUTES ? EffectKind::kFileOver : EffectKind::kFileNew;
        // A file there may be one the run placed a moment ago and has not
        // closed yet: it is replaced or moved only once closed.
        if (attributes != INVALID_FILE_ATTRIBUTES) WaitForCloses();
    };
    if (!IsDllPath(m_strDest)) {
        // A directory that cannot be made shows in the expansion's failure.
        bool made = false;
        Report(EnsureDirectory(m_strDest, m_log, m_record, &m_strEnsuredDir, &made));
        const PathParts parts = SplitPath(m_strDest, "\\");
        if (made) {
            m_strMadeDir = parts.directory;
            m_madeDirNames.clear();
        }
        readAttributes(KnownAbsent(parts));
        // The files that go there may now be written ahead.
        if (m_ahead) m_ahead->DirectoryReady(parts.directory);
        return RunResult();
    }
    readAttributes(false);
    if (!FileExists(m_strDest)) {
        WriteLog(m_log, "%s does not exist previously", m_strDest.c_str());
        // A new DLL in a directory that is not there yet gets it, as any
        // other file does.
        const std::string directory = SplitPath(m_strDest, "\\").directory;
        if (PathAttributes(directory) == INVALID_FILE_ATTRIBUTES)
            Report(EnsureDirectory(m_strDest, m_log, m_record, &m_strEnsuredDir));
        return RunResult();
    }
    if (IsSharedFile(m_list, m_strDest.c_str())) {
        // A shared DLL is never moved away (other programs load it from
        // here); the newer one is written over it in place.
        WriteLog(m_log, "Shared DLL is replaced in place, without backup");
        return RunResult();
    }
    if (FileInUse(m_strDest)) {
        // A DLL that a program holds cannot be moved either: the new one
        // replaces it when Windows restarts, not tried now.
        WriteLog(m_log, "DLL %s is in use: not moved into Backup", m_strDest.c_str());
        m_bDestInUse = true;
        return RunResult();
    }
    // Its digest where it stands, before it goes into Backup (which may be
    // in a directory others can write): the uninstaller restores only it.
    placed.kind = EffectKind::kFileBackup;
    placed.other = BackupPathOf(m_strDest, m_strDestDir);
    placed.data = SavedDllDigest(m_strDest);
    // Written down before the DLL is moved: a run killed after the move
    // leaves a record that puts it back.
    m_journal.Ahead({placed});
    const RunResult saved = BackupOldDll(m_strDest, m_strDestDir, &m_bDllsUpgraded, m_list, m_log, m_record);
    if (saved.Failed()) return saved;
    WriteLog(m_log, "DLL %s saved successfully", m_strDest.c_str());
    return RunResult();
}

RunResult InstallRun::SetAside(const std::string& path) {
    // The private folder is the run's own: no one else can have put
    // anything under a name there. The number keeps two files of one name apart.
    const std::string aside =
        FormatText("%s\\%u-%s", m_strTempPath.c_str(), unsigned(m_setAside.size() + 1), GetPathFileName(path).c_str());
    if (m_strTempPath.empty() || (!MovePath(path, aside) && !CopyPath(path, aside, true))) {
        const DWORD error = m_strTempPath.empty() ? ERROR_PATH_NOT_FOUND : GetLastError();
        return RunResult(RunOutcome::kEntryNotDone, path, error,
                         FormatText("%s could not be kept aside to be put back should the installation fail "
                                    "(error %lu)",
                                    path.c_str(), static_cast<unsigned long>(error)));
    }
    m_setAside.push_back(SetAsideFile{path, aside});
    return RunResult();
}

bool InstallRun::KnownAbsent(const PathParts& dest) {
    if (dest.directory.empty() || dest.directory != m_strMadeDir) return false;
    std::string upper = UpperAscii(dest.fileName);
    if (!PlainFileName(upper)) {
        // It may name a file put there under another spelling: from now on
        // the system is asked about this directory.
        m_strMadeDir.clear();
        return false;
    }
    return m_madeDirNames.insert(std::move(upper)).second;
}

void InstallRun::WaitForCloses() {
    if (m_closer) m_closer->Wait();
}

RunResult InstallRun::FinalStep() {
    WaitForCloses();
    // The shortcuts: a group or a shortcut that cannot be made is reported,
    // and the phase goes on with the next.
    for (const ShortcutEntry& entry : m_list.m_shortcuts) Report(CreateProgramShortcut(entry, m_log, m_record));
    WriteRegistryEntries();
    WriteLog(m_log, "End of Installation");
    if (m_bDllsUpgraded) {
        WriteLog(m_log, "Some dlls were upgraded");
        m_ui.ShowBox(RunBox::kNotice, "Some system files (dlls) needed to be\nupgraded to newer versions. The old "
                                      "versions\nwere moved to the directory BACKUP, below\nthe application's "
                                      "directory.\n");
    }
    if (m_bUninstaller && MakeRemovable(true).Failed()) Report(RunResult(RunOutcome::kRegistryNotUpdated));
    return End(RunResult(RunOutcome::kCompleted));
}

void InstallRun::WriteRegistryEntries() {
    // Set once any entry has been written: later failures then get no box
    // and no report line, only a line of their own.
    BOOL bWritten = FALSE;
    for (const RegistryEntry& entry : m_list.m_regEntries) {
        const char* type = entry.m_pszType;
        bool unknownType = false;
        if (type && UpperAscii(type) == "SZ") {
            if (WriteRegistryString(entry.m_pszPath.OrEmpty(), entry.m_pszValue.OrEmpty(), entry.m_chSep, m_record)) {
                WriteLog(m_log, "Key added successfully: %s=%s", entry.m_pszPath.OrEmpty(), entry.m_pszValue.OrEmpty());
                bWritten = TRUE;
                continue;
            }
        } else if (type && UpperAscii(type) == "DWORD") {
            if (WriteRegistryDword(entry.m_pszPath.OrEmpty(), entry.m_dwValue, entry.m_chSep, m_record)) {
                WriteLog(m_log, "Key added successfully: %s=%0x", entry.m_pszPath.OrEmpty(),
                         static_cast<unsigned>(entry.m_dwValue));
                bWritten = TRUE;
                continue;
            }
        } else {
            unknownType = true;
        }
        const char* path = entry.m_pszPath.OrEmpty();
        std::string line;
        if (bWritten && unknownType)
            line = FormatText("Registry value %s not written: unknown type \"%s\"", path, entry.m_pszType.OrEmpty());
        else if (bWritten)
            line = FormatText("Registry value %s could not be written", path);
        else if (unknownType)
            line = FormatText("Failed to add registry key. Unknown type: %s", entry.m_pszType.OrEmpty());
        Report(line.empty() ? RunResult(RunOutcome::kRegistryNotUpdated, path)
                            : RunResult(RunOutcome::kEntryNotDone, path, 0, line));
    }
}

void InstallRun::CancelEarlierRestarts(const InstallRecord& earlier, InstallLog* log) {
    for (const Effect& atRestart : earlier.effects) {
        // (Only a staged file beside its destination, as the run stages them.)
        if (atRestart.kind != EffectKind::kFileAtRestart ||
            SplitPath(atRestart.other, "\\").directory != SplitPath(atRestart.path, "\\").directory)
            continue;
        const bool placedNow = std::any_of(m_record.effects.begin(), m_record.effects.end(), [&](const Effect& e) {
            return (e.kind == EffectKind::kFileNew || e.kind == EffectKind::kFileOver ||
                    e.kind == EffectKind::kFileBackup) &&
                   EqualIgnoringCase(e.path, atRestart.path);
        });
        if (placedNow && DeletePath(atRestart.other) && log)
            WriteLog(*log, "Replacement at restart cancelled: %s placed now, %s deleted", atRestart.path.c_str(),
                     atRestart.other.c_str());
    }
}

RunResult InstallRun::MakeRemovable(bool completed) {
    // A failed run that changed nothing needs no uninstaller.
    if (!completed && m_record.effects.empty()) return RunResult();
    // A completed run logs each step; a failed one, whose last lines are the
    // failure's, only what the new record drops.
    InstallLog* log = completed ? &m_log : nullptr;
    const std::string path = InDest(kInstallRecordName);
    LoadEarlierRecord();
    if (!m_strEarlierRefused.empty())
        WriteLog(m_log, "Uninstall record %s not merged (%s); a new record replaces it", path.c_str(),
                 m_strEarlierRefused.c_str());
    InstallRecord record = m_earlier;
    record.product = m_uninstaller.productName;
    CancelEarlierRestarts(record, log);

    const std::string uninstaller = InDest(kUninstallerName);
    RunResult result = m_bUninstallerCopied ? RunResult() : CopyUninstaller(m_uninstaller, m_strDestDir);
    if (log && !result.Failed()) WriteLog(*log, "Uninstaller copied to %s", uninstaller.c_str());
    if (log && result.Failed())
        WriteLog(*log, "Could not copy the uninstaller to %s: %s", uninstaller.c_str(),
                 FormatSystemError(result.error).c_str());
    std::string key;
    if (!result.Failed()) {
        std::vector<Effect> all = record.effects;
        all.insert(all.end(), m_record.effects.begin(), m_record.effects.end());
        InstallRecord registration;
        result = RegisterUninstaller(m_uninstaller, m_strDestDir, EstimatedSizeKb(all, uninstaller), registration, log);
        key = result.path;
        // A value the run registered at its start holds what it held before
        // the run in that first line.
        for (Effect& effect : registration.effects) {
            const bool recorded = std::any_of(m_record.effects.begin(), m_record.effects.end(), [&](const Effect& e) {
                return e.kind == effect.kind && EqualIgnoringCase(e.path, effect.path) &&
                       EqualIgnoringCase(e.other, effect.other);
            });
            if (!recorded) m_record.Add(std::move(effect));
        }
    }
    // (The journal's value is deleted once the record is in place.)
    for (const Effect& effect : m_record.effects)
        if (effect.kind != EffectKind::kRegistryValue || effect.other != kRecordJournalValue ||
            !EqualIgnoringCase(effect.path, m_strUninstallKey))
            record.effects.push_back(effect);
    const std::string text = FormatInstallRecord(record);
    // Its digest before it takes the journal's place: what is there until
    // then stays vouched for by the journal value.
    std::string hex;
    const RunResult digest = result.Failed() ? result : RegisterRecordDigest(key, text, path, hex);
    m_journal.Close();
    const RunResult saved = SaveInstallRecord(text, m_strDestDir);
    if (log) WriteLog(*log, saved.Failed() ? "Could not write the uninstall record %s" : "Uninstall record written: %s",
                      path.c_str());
    if (saved.Failed()) return saved;
    m_journal.Forget();
    if (digest.Failed()) return digest;
    if (log) WriteLog(*log, "Key added successfully: %s\\%s=%s", key.c_str(), kRecordDigestValue, hex.c_str());
    return RunResult();
}
