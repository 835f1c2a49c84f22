// setup.exe's own file as the medium, or as the seal of a folder medium.
//
// The program opens its own file once, shared for reading only (no one can
// write, rename or delete it while it runs), and finds an overlay from its
// PE headers:
// - none: a folder medium, as setup.exe has always had;
// - one with the SHA-256 of setup.sum: a folder medium that setup.sum must
//   be beside, with that digest;
// - one with the uninstaller's mark, or none in a signed file: a program
//   that installs nothing;
// - one with the distribution's files: a single-file medium. Its overlay is
//   checked whole before anything else (every stored byte against the
//   header's digest, and nothing after it but padding and the certificate
//   table), and a signature that the file carries must match the file's
//   bytes, as Windows's WinVerifyTrust sees them.
#pragma once

#include "base/file_io.h"
#include "base/sha256.h"

#include <string>

struct ProgramMedium {
    enum Kind {
        kFolder,        // no overlay: the files beside setup.exe, unchecked unless setup.sum is there
        kSealedFolder,  // the files beside setup.exe; setup.sum required, with sumDigest
        kSingleFile,    // everything in setup.exe itself
        kDamaged,       // the program file is unreadable, or its overlay or signature is not as packed
        // Programs that install nothing: an installed product's uninstaller
        // (marked as one), and a signed setup.exe that carries no medium of
        // its own, whose signature would otherwise vouch for any folder.
        kUninstallerOnly,
        kSignedBare,
    };
    Kind kind = kFolder;
    std::string programName;      // the program file's name, for the boxes
    Sha256Digest sumDigest{};     // kSealedFolder
    std::string productName;      // kSingleFile: the stored product name (empty when none)
    // What the installation leaves as uninstall.exe, read from the file that
    // was checked: the stored uninstaller of a single file, or this program
    // file whole (file null when the program file could not be opened).
    FileRange uninstaller;
    std::string madeUninstaller;  // or, where not empty, uninstall.exe's bytes (made from this file's image)
    // The program file, held open until the program ends (unless the medium
    // took it over), shared for reading only: no one can change or replace
    // it meanwhile.
    FilePtr program;
};

// Opens the running program's file, reads its overlay and sets |medium| up:
// a folder medium, with the welcome text at |welcomePath|, or the program's
// own stored files.
class Medium;
ProgramMedium OpenProgramMedium(const std::string& welcomePath, Medium& medium);
