// Uninstallation: at the end of an installation the uninstaller is copied
// into the application directory, registered in Add/Remove Programs and the
// record of the run saved; the uninstaller reads the record and undoes it,
// last effect first. An unattended run that fails undoes its own record the
// same way before it ends (UndoFailedRun).
#pragma once

#include "base/install_log.h"
#include "engine/install_record.h"
#include "engine/run_result.h"
#include "engine/run_ui.h"
#include "base/file_io.h"

#include <cstdint>

#include <string>
#include <vector>

// What an installation needs to make itself removable.
struct UninstallerSource {
    std::string productName;  // the name shown in Add/Remove Programs
    std::string version;      // its DisplayVersion and Publisher there (empty: none)
    std::string publisher;
    std::string programPath;  // the running setup.exe, copied as uninstall.exe
    FileRange stored;         // where set (file not null), copied instead: the bare program
                              // that a single-file medium carries
    std::string made;         // where not empty, written instead: the uninstaller made from
                              // the single file's own image
};

// The value of the product's Uninstall key that holds the SHA-256 of its
// "uninstall.dat" (64 lower-case hex digits): the uninstaller obeys only a
// record that the registry vouches for this way.
constexpr char kRecordDigestValue[] = "UninstallRecordSHA256";
// The value that vouches for the record while the run is still writing it
// (record_journal.h): the SHA-256 of its first bytes, a blank and their
// number in decimal. The run deletes it once the whole record is in place.
constexpr char kRecordJournalValue[] = "UninstallJournal";

// The registry key, below HKLM or HKCU, under which |productName| is
// registered: Software\Microsoft\Windows\CurrentVersion\Uninstall\<name>,
// the name being the product name with backslashes as blanks, or the
// application directory's own name when the product has none.
std::string UninstallKeyName(const std::string& productName, const std::string& appDir);

// Making an installation removable, step by step; the installation run
// takes them in this order (InstallRun::MakeRemovable) and reports what each
// returns. With a |log|, a step writes the lines of what it did there; a
// failed run passes none, so that its last lines stay the failure's.

// Copies the uninstaller of |source| into |appDir| as kUninstallerName,
// staged so it is never half-written. kUninstallerNotCopied (path, error)
// when it cannot.
RunResult CopyUninstaller(const UninstallerSource& source, const std::string& appDir);

// The size of the files |effects| placed and of |uninstaller|, in KB rounded
// up, for Add/Remove Programs.
uint32_t EstimatedSizeKb(const std::vector<Effect>& effects, const std::string& uninstaller);

// Writes the Uninstall values of |source|'s product, installed in |appDir|
// and |sizeKb| large, below HKLM, or below HKCU when HKLM cannot be written;
// each is recorded in |run| with what it held before, and logged ("Key added
// successfully: %s=%s"). A version or publisher that |source| lacks is
// deleted there (an earlier installation's would be wrong), recorded too.
// The record's digest value is written empty, to be
// set by RegisterRecordDigest, unless |digest| is false (a registration at
// the start of a run, which leaves an earlier record's digest as it is).
// kGoingOn with the key written as its path; kNotRegistered (path: the
// key's name) when neither root takes them.
RunResult RegisterUninstaller(const UninstallerSource& source, const std::string& appDir, uint32_t sizeKb,
                              InstallRecord& run, InstallLog* log, bool digest = true);

// Writes |text| as "uninstall.dat" of |appDir|, staged so it is never
// half-written. kRecordNotSaved (path, error) when it cannot.
RunResult SaveInstallRecord(const std::string& text, const std::string& appDir);

// Sets the digest value of the Uninstall key |key| (as RegisterUninstaller
// gave it) to |hex|, the SHA-256 of |text|, the record to be saved at |path|,
// without recording it (the record holds what the value held before). The
// run sets it before it saves the record: the file there until then is
// vouched for otherwise (an earlier record's digest, or the journal value).
// kRecordNotSaved (path, error, detail) when it cannot be set.
RunResult RegisterRecordDigest(const std::string& key, const std::string& text, const std::string& path,
                               std::string& hex);

// Reads "uninstall.dat" of |appDir|, checked against the digest that the
// registry holds for it before it is parsed. The Uninstall keys below HKLM
// whose InstallLocation is |appDir| decide when there is any (only
// administrators write there); only when HKLM has none, those below HKCU. The
// record is taken when one of the deciding keys holds its SHA-256.
// kRecordRefused, with |record| empty, the record's path and the detail
// saying why, when it is missing, larger than kMaxInstallRecordSize,
// registered nowhere, not as registered or damaged, or cannot be held in
// memory (the error where reading it failed).
RunResult LoadInstallRecord(const std::string& appDir, InstallRecord& record);

// Undoes |record| in |appDir|, last effect first, then removes the record,
// SETUP.LOG, the uninstaller and the directories left empty. Each step is a
// line in |log|; what cannot be undone is logged and skipped. A shared DLL
// outside |appDir| that no program uses any more is removed only when |ui|
// answers its RunBox::kDoubt question Yes. The uninstaller in |appDir| that
// is still running (it waits for this program) cannot be deleted: it is
// moved to |uninstallerAside| instead, on the same drive, where the program
// that runs it removes it when it ends. kGoingOn when everything was undone;
// else kStayed with the first thing that stayed and its error, and in the
// detail every thing that stayed, one per line (StayedItems).
RunResult UndoInstallation(const InstallRecord& record, const std::string& appDir, RunUi& ui, InstallLog& log,
                           const std::string& uninstallerAside);

// A file that a run replaced, kept aside until the run has succeeded.
struct SetAsideFile {
    std::string path;   // where it stood, and goes back to
    std::string aside;  // where it is kept meanwhile (in the run's private folder)
};

// Undoes |run|, the record of an installation run that failed, in the same
// process, last effect first, each kind as kEffectKinds' rollback says:
// every file it replaced is put back from |setAside| (one for each such
// effect, in the record's order), every file and directory it made goes (a directory that
// still holds something stays: the run's SETUP.LOG's), every shared count
// and registry value is as before. Nothing is asked: a DLL it placed new
// goes. Each step is a line in |log|. kGoingOn when everything was undone;
// else kStayed as UndoInstallation gives it, and what could not be put
// back is still where it was kept aside.
RunResult UndoFailedRun(const InstallRecord& run, const std::vector<SetAsideFile>& setAside, InstallLog& log);

// The things that stayed according to the undo's result |undone|, in the
// order they stayed; empty when it did not fail.
std::vector<std::string> StayedItems(const RunResult& undone);
