// The texts the wizard pages show, as read from the distribution medium at
// start-up (see formats/medium.h).
//
// No Win32 header, so it is tested natively.
#pragma once

#include "base/install_log.h"
#include "formats/medium.h"

#include <string>

// Where the welcome text "Setup2.txt" is looked for: beside the program, in
// the directory part of |invocationPath| (the first element of the argument
// vector). The directory part runs up to and including the last '\\' or ':';
// when there is none, or it stands at position 0, the bare name is used, so
// the file is looked for in the working directory.
std::string WelcomeTextPath(const char* invocationPath);

// The welcome text as the page shows it: the file byte for byte (line ends
// as stored), as a C string: it ends at a zero byte in the file, if there is
// one. When the file could not be opened, writes "Failed to load <path>.
// Reported reason: <the C runtime's text for errno>" to |log| and returns an
// empty text; an empty file or a short read gives an empty text without a
// log line.
std::string WelcomeTextShown(const MediumText& welcome, InstallLog& log);

// The terms and conditions as the page shows them: as stored (not
// unscrambled, line ends kept), up to the first zero byte. Empty when the
// file is missing, empty or cannot be read; after a short read the text ends
// where the read did.
std::string TermsTextShown(const MediumText& terms);
