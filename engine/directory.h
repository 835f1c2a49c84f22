// Creating the directories on the way to a path, with their log lines.
#pragma once

#include "base/install_log.h"
#include "base/system_info.h"
#include "engine/install_record.h"
#include "engine/run_result.h"

#include <windows.h>

#include <string>

// Creates every directory level of |path| up to its last backslash, from the
// shortest prefix to the longest, logging in |log| each level made
// ("Created: %s") and, when every level is there, "Directory %s certified to
// be ok". The part after the last backslash is a file name and is not
// created; neither is the part before the first backslash (a drive), nor a
// UNC path's server and share. Each level made is recorded in |record|
// (kDirectory). kDirectoryFailed with the level that cannot be created and
// its Windows error code, or with no path when |path| has no backslash;
// nothing about the failure is logged (ReportFailure writes "Error creating
// directory %s: %s").
// With |pKnown|, the directory part of the path last made sure of through it
// (empty at first): the levels this path shares with it are taken as there
// and not created again, and on success it becomes this path's directory
// part. An installation placing many files in one folder then creates no
// level per file. With |pMade|, whether this call made the last level (the
// directory the path's file goes into).
RunResult EnsureDirectory(const std::string& path, InstallLog& log, InstallRecord& record,
                          std::string* pKnown = nullptr, bool* pMade = nullptr);
