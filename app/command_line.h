// The command line of setup.exe:
//
//     setup.exe [ProductName] [/S] [/D=directory]
//     uninstall.exe /uninstall [/S] [/D=directory]
//
// The product name comes first (see ProductNameFromArgs); an argument that is
// a known switch is never taken for it, so "setup.exe /S" installs with the
// empty product name. /S installs without any window. /uninstall removes the
// installation in the /D= directory, or, without /D=, the one in the
// program's own directory. /D= sets the
// destination directory: a full path, the last thing on the line, taken as
// it stands (blanks included, no quotes needed). Other arguments that do not
// start with '/' are ignored. Win32-free, so it is tested natively.
#pragma once

#include <string>

struct CommandLine {
    std::string productName;
    bool unattended = false;  // /S
    bool uninstall = false;   // /uninstall
    bool hasDestDir = false;  // /D= was given
    std::string destDir;      // its directory
    std::string error;        // what is wrong with the line; empty when it is right
};

// Parses the argument vector |argv| (argc entries, the program's own path
// first) as the C runtime splits the line, and takes the /D= directory from
// the unsplit |rawLine|, so that its blanks stay as typed.
CommandLine ParseCommandLine(int argc, const char* const* argv, const std::string& rawLine);

// Empty when |dir| may be the destination directory: a full path, on a drive
// or a network share (blanks before it do not count), that holds none of
// |fieldSeparators| (the list's separators of lines split after the
// directory is put in: FileList::m_appDirSeparators). Otherwise what is
// expected, naming |dir|; the /D= switch and the destination page refuse such
// a directory with this text.
std::string DestDirRefusal(const std::string& dir, const std::string& fieldSeparators = std::string());

// What the command line accepts, for the box that reports a wrong one.
extern const char kCommandLineUsage[];
