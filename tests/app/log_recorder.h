// Test helpers around the program's one installation log and file list.
#pragma once

#include "base/install_log.h"
#include "formats/file_list.h"

#include <initializer_list>
#include <string>
#include <vector>

// Records the messages of every line theLog keeps while it lives (the 21
// characters of the timestamp cut off).
class LogRecorder {
public:
    LogRecorder() {
        theLog.SetLineObserver([this](const std::string& line) {
            m_lines.push_back(line.size() >= kStamp ? line.substr(kStamp) : line);
        });
    }
    ~LogRecorder() { theLog.SetLineObserver(nullptr); }
    LogRecorder(const LogRecorder&) = delete;
    LogRecorder& operator=(const LogRecorder&) = delete;

    const std::vector<std::string>& Lines() const { return m_lines; }
    void Clear() { m_lines.clear(); }

    static constexpr size_t kStamp = 21;  // "dd Mon yyyy hh:mm:ss "

private:
    std::vector<std::string> m_lines;
};

// Gives the program's file list these shared-file fragments while it lives.
class ScopedSharedFragments {
public:
    ScopedSharedFragments(std::initializer_list<const char*> fragments) {
        for (const char* fragment : fragments) theFileList.m_sharedFiles.push_back(SharedFileEntry{fragment});
    }
    ~ScopedSharedFragments() { theFileList.m_sharedFiles.clear(); }
    ScopedSharedFragments(const ScopedSharedFragments&) = delete;
    ScopedSharedFragments& operator=(const ScopedSharedFragments&) = delete;
};
