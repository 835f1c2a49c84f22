// The five path macros of the file list and the loop that expands them.
//
// The loop is pure; the values come from a MacroValues object, which the
// program backs with the real system look-ups and tests back with fixed texts.
#pragma once

#include <cstddef>
#include <string>

class MacroValues {
public:
    virtual ~MacroValues() = default;
    virtual std::string WindowsDirectory() = 0;
    virtual std::string SystemDirectory() = 0;
    // The Start menu's Programs folder; false when the shell cannot give it.
    virtual bool ProgramsFolder(std::string& path) = 0;
    // The registry's ProgramFilesDir; false when it cannot be read.
    virtual bool ProgramFilesDirectory(std::string& path) = 0;
};

// The macros, in the order in which each pass looks for them.
constexpr int kPathMacroCount = 5;
constexpr const char* kPathMacroNames[kPathMacroCount] = {"?WINDOWS?", "?SYSTEM?", "?APPDIR?", "?STARTMENU?",
                                                          "?PRGFDIR?"};
// Indexes into kPathMacroNames.
enum PathMacro { kMacroWindows, kMacroSystem, kMacroAppDir, kMacroStartMenu, kMacroProgramFiles };

// Used for "?PRGFDIR?" when the registry gives no Program Files directory.
constexpr const char* kDefaultProgramFiles = "C:\\PROGRAM FILES";
// Used for "?APPDIR?" while the application directory is not known yet.
constexpr const char* kAppDirPlaceholder = "APPDIR";

// Bounds of one expansion. A looked-up value is scanned again, so a value that
// names its own macro (a ProgramFilesDir of "?PRGFDIR?") or two values that
// name each other would never end. The shortest macro has 8 characters, so a
// line of 518 holds at most 64, and real values (paths) add none: no real text
// needs more replacements, nor comes near the length of the longest Windows path.
constexpr int kMaxMacroReplacements = 64;
constexpr size_t kMaxExpandedLength = 32767;

// Replaces, one occurrence per pass and in the order ?WINDOWS?, ?SYSTEM?,
// ?APPDIR?, ?STARTMENU?, ?PRGFDIR?, the first occurrence of the first macro
// the text holds, then starts again from the beginning, so that values are
// scanned for macros too. The one exception is the application directory,
// which the user types: it is inserted as it stands and never scanned, so a
// directory that itself holds a macro cannot make the loop endless. Values are
// looked up anew for every occurrence. When the Programs folder cannot be had,
// or a replacement would pass kMaxMacroReplacements or make the text longer
// than kMaxExpandedLength, expansion stops there and the text keeps that macro
// and any later ones.
void ExpandPathMacrosWith(MacroValues& values, std::string& text, const char* appDir);
