// The names of the files beside setup.exe on the distribution medium, shared
// by the installer and the packaging tool.
#pragma once

constexpr char kFileListName[] = "setup.drc";      // the scrambled file list
constexpr char kWelcomeTextName[] = "Setup2.txt";  // the welcome text
constexpr char kTermsFileName[] = "terms.txt";     // the terms and conditions
constexpr char kSumFileName[] = "setup.sum";       // sizes and SHA-256 of setup.drc and the payloads
