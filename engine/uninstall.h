// Uninstallation: at the end of an installation the uninstaller is copied
// into the application directory, registered in Add/Remove Programs and the
// record of the run saved; the uninstaller reads the record and undoes it,
// last effect first.
#pragma once

#include "base/install_log.h"
#include "engine/install_record.h"
#include "engine/run_result.h"
#include "engine/run_ui.h"
#include "base/file_io.h"

#include <string>
#include <vector>

// What an installation needs to make itself removable.
struct UninstallerSource {
    std::string productName;  // the name shown in Add/Remove Programs
    std::string programPath;  // the running setup.exe, copied as uninstall.exe
    FileRange stored;         // where set (file not null), copied instead: the bare program
                              // that a single-file medium carries
};

// The value of the product's Uninstall key that holds the SHA-256 of its
// "uninstall.dat" (64 lower-case hex digits): the uninstaller obeys only a
// record that the registry vouches for this way.
constexpr char kRecordDigestValue[] = "UninstallRecordSHA256";

// The registry key, below HKLM or HKCU, under which |productName| is
// registered: Software\Microsoft\Windows\CurrentVersion\Uninstall\<name>,
// the name being the product name with backslashes as blanks, or the
// application directory's own name when the product has none.
std::string UninstallKeyName(const std::string& productName, const std::string& appDir);

// Copies the uninstaller into |appDir|, registers it, recording the
// registration's values in |run| (the run's record), and saves |run| there,
// after the entries of an earlier record in the same
// directory when that record is the one registered for it (LoadInstallRecord);
// another one is replaced. The record's SHA-256 goes into the Uninstall key
// with the other values. With |logged|, each step writes its line to |log|
// (a failed run calls it without: its last lines stay the
// failure's); an earlier record that is replaced is logged either way. Fails (kUninstallerNotCopied, kNotRegistered, kRecordNotSaved)
// when the uninstaller could not be copied or registered, or the record not
// saved or vouched for; the record is saved all the same where it can be.
RunResult MakeUninstallable(const UninstallerSource& source, const std::string& appDir, bool logged,
                            InstallRecord& run, InstallLog& log);

// The log line that says what MakeUninstallable's |failure| left undone,
// for a caller that ran it without its own lines.
std::string UninstallableFailureText(const RunResult& failure);

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

// The things that stayed according to the undo's result |undone|, in the
// order they stayed; empty when it did not fail.
std::vector<std::string> StayedItems(const RunResult& undone);
