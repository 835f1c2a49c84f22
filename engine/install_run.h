// The installation run without windows: the preparation, then for every file
// entry a check step and an expand step, then a final step that creates the
// shortcuts and writes the registry values. Each call returns what happened;
// the run writes its own log lines, and it alone reports the failures of
// what it calls (ReportFailure), saying through a RunUi what the user is to
// see. Whoever drives it decides the pace: the progress dialog takes one
// step per timer tick, an installation without windows one after another.
// After a failure nothing is rolled back but the one step that failed (a DLL
// moved into Backup whose replacement could not be placed goes back), unless
// the run undoes its changes on failure (UndoOnFailure).
#pragma once

#include "base/path_parts.h"
#include "engine/install_record.h"
#include "engine/private_folder.h"
#include "engine/record_journal.h"
#include "engine/run_result.h"
#include "engine/run_ui.h"
#include "engine/setup_objects.h"
#include "engine/uninstall.h"
#include "engine/payload_prefetch.h"

#include <windows.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

class InstallRun {
public:
    // A run into |destDir|, the application directory that ?APPDIR? and the
    // backup directory refer to, of the list and payloads of |setup|'s
    // medium (read and checked at start-up). It writes |setup|'s log and
    // loads its file list again; |setup| outlives the run.
    InstallRun(RunUi& ui, SetupObjects& setup, std::string destDir);

    // Makes the installation removable: before the run's first step
    // |source| is copied into the destination as its uninstaller and
    // registered, and the record of what the run does is written as it goes
    // (record_journal.h), so that a run killed part way can be undone; when
    // the run ends, the whole record is saved there (also after a failure).
    void SetUninstaller(UninstallerSource source);
    // For a run without windows (/S), before Open: a run that fails after it
    // has changed something undoes its changes, last first, before it ends,
    // and writes no record and copies no uninstaller; an earlier
    // installation there stays exactly as it was. Each file it replaces is
    // kept aside in its private folder until then.
    void UndoOnFailure() { m_bUndoOnFailure = true; }

    // Logs "Decompression box opened": the run's first line.
    void Open();
    // Creates the destination directory, opens SETUP.LOG there, loads the
    // file list again with the destination (|owner| is the shell's owner
    // window for the folder look-ups; null without windows) and checks the
    // temporary directory. kGoingOn when the steps may begin.
    RunResult Prepare(HWND owner);
    // After Prepare: decodes the payloads ahead of the steps on |threads|
    // threads of their own, and closes the files put in place on another,
    // for a run that takes its steps one after another. The steps, their
    // order and what they do stay as they are.
    void DecodeAhead(unsigned threads);
    // One step: check or expand the current entry, or the final step. After
    // the final step or a failure the run is over: Step then does nothing
    // and returns kGoingOn.
    RunResult Step();
    // Logs "Destroying decompression box": the run's last line.
    void Close();

    bool Over() const { return m_nStep < 0; }
    // Number of file entries of the (reloaded) file list, for the progress range.
    int FileCount() const;
    // What the run has done so far, as the uninstaller will undo it.
    const InstallRecord& Record() const { return m_record; }
    // Whether a file in use is replaced only when Windows restarts: the
    // installation is complete then.
    bool RestartNeeded() const { return m_bRestartNeeded; }

private:
    RunResult CheckTemporaryDirectory();
    // The file |name| in the destination directory.
    std::string InDest(const char* name) const { return m_strDestDir + "\\" + name; }
    // Puts the uninstaller in place, registers it (quietly: the run's end
    // logs it) and begins the journal. Without them (a step that cannot be
    // done) the run goes on and makes itself removable at its end, as ever.
    void StartJournal();
    // Reads the earlier installation's record there once, before the run
    // changes it: what the new record keeps (m_earlier).
    void LoadEarlierRecord();
    // For a run that undoes itself: the record and the uninstaller as they
    // were before StartJournal.
    void RestoreEarlierRecord();
    // Writes the current entry's placement |placed| into the journal before
    // it happens, with the next entries' (a batch per registry write).
    void JournalAhead(const Effect& placed);
    RunResult CheckStep(int i);
    RunResult ExpandStep();
    // Makes the destination ready for the current entry's file: its
    // directories, or an existing DLL saved into Backup (one in use stays,
    // and m_bDestInUse says it is replaced at restart). Tells |placed| what
    // the placement will do there. BackupOldDll's failure when the DLL could
    // not be saved.
    RunResult PrepareDestination(Effect& placed, DWORD& attributes);
    // Whether the current entry's file is known to be absent without asking
    // the system: the run made its directory and has put no file of that
    // name there since. (Under Wine, asking about an absent name reads the
    // whole directory.) Counts the name as placed.
    bool KnownAbsent(const PathParts& dest);
    // Keeps the file |path|, which the current entry replaces, aside in the
    // private folder (moved there, or copied where it cannot be moved), for
    // a failed run to put back. kEntryNotDone when it cannot be kept.
    RunResult SetAside(const std::string& path);
    // Undoes what the run did (UndoFailedRun) and logs it.
    void UndoChanges();
    // Returns once every file the run put in place is closed.
    void WaitForCloses();
    RunResult FinalStep();
    void WriteRegistryEntries();
    // An earlier run's replacement at restart of a file that this run has
    // placed now would put the older file over it: its staged file is
    // deleted, which cancels it (and logged to |log|, if given).
    void CancelEarlierRestarts(const InstallRecord& earlier, InstallLog* log);
    // Copies the uninstaller into the destination, registers it and saves
    // the record of the run beside it (also after a failure), after the
    // entries of an earlier record there that the registry vouches for. A
    // completed run logs each step; a failed one only what the new record
    // drops. What failed first: the record is saved all the same where it
    // can be.
    RunResult MakeRemovable(bool completed);
    // What the user sees and the log says of |failure| (ReportFailure).
    void Report(const RunResult& failure);
    // Ends the run with |ending|: it is over, and a failed run is made
    // removable all the same.
    RunResult End(RunResult ending);
    // Reports |failure| and ends the run with it.
    RunResult Fail(RunResult failure);

    RunUi& m_ui;
    InstallLog& m_log;
    FileList& m_list;
    std::string& m_strDefaultDestDir;  // the reload sets it as every load does
    const Medium& m_medium;
    InstallRecord m_record;        // every effect of the run, in order; cleared by Open
    int m_nStep = 0;               // 10*i check entry i, 10*i+1 expand it, 10*n final, -1 over
    BOOL m_bDllsUpgraded = FALSE;  // an older DLL was moved into the backup directory
    bool m_bRestartNeeded = false; // a file in use is replaced when Windows restarts
    std::string m_strSource;       // source name of the current entry
    std::string m_strDest;         // destination path of the current entry
    bool m_bDestInUse = false;     // PrepareDestination found it in use: replaced at restart
    std::string m_strDestDir;      // the destination (application) directory
    PrivateFolder m_tempFolder;    // the run's own folder below the temporary directory
    std::string m_strTempPath;     // that folder, without a trailing backslash (empty: none)
    std::string m_strEnsuredDir;   // the directory EnsureDirectory last made sure of for a file
    std::string m_strMadeDir;      // the directory the run made last for a file
    std::set<std::string> m_madeDirNames;  // the names put there since, in capitals
    bool m_bUninstaller = false;   // SetUninstaller was called
    UninstallerSource m_uninstaller;
    bool m_bUndoOnFailure = false;          // UndoOnFailure was called
    std::vector<SetAsideFile> m_setAside;  // the files replaced so far, kept aside when it was
    RecordJournal m_journal;               // the record written as the run goes
    bool m_bEarlierLoaded = false;         // LoadEarlierRecord was called
    InstallRecord m_earlier;               // the earlier record that the new one keeps
    std::string m_strEarlierRefused;       // why a record there is not kept (empty: it is, or none)
    bool m_bJournalBegun = false;          // StartJournal replaced the record and the uninstaller
    bool m_bEarlierFile = false;           // there was a record file before, of these bytes:
    std::vector<uint8_t> m_earlierFile;
    std::string m_strUninstallerAside;     // the earlier uninstaller kept aside (empty: there was none)
    bool m_bUninstallerCopied = false;     // StartJournal copied the uninstaller
    std::string m_strUninstallKey;         // where StartJournal registered it
    int m_nJournalAheadTo = 0;             // the entries before it are written ahead in the journal
    // DecodeAhead's, until the run ends: the payloads decoded ahead, and the
    // closing of the files put in place (which the run waits for before a
    // file that may still be open is touched again).
    std::unique_ptr<PayloadPrefetch> m_ahead;
    std::unique_ptr<LaterClose> m_closer;
};
