// Test helpers around an installation log and a file list.
#pragma once

#include "base/install_log.h"
#include "formats/file_list.h"

#include <initializer_list>
#include <string>
#include <vector>

// Records the messages of every line |log| keeps while it lives (the 21
// characters of the timestamp cut off).
class LogRecorder {
public:
    explicit LogRecorder(InstallLog& log) : m_log(log) {
        m_log.SetLineObserver([this](const std::string& line) {
            m_lines.push_back(line.size() >= kStamp ? line.substr(kStamp) : line);
        });
    }
    ~LogRecorder() { m_log.SetLineObserver(nullptr); }
    LogRecorder(const LogRecorder&) = delete;
    LogRecorder& operator=(const LogRecorder&) = delete;

    const std::vector<std::string>& Lines() const { return m_lines; }
    void Clear() { m_lines.clear(); }

    static constexpr size_t kStamp = 21;  // "dd Mon yyyy hh:mm:ss "

private:
    InstallLog& m_log;
    std::vector<std::string> m_lines;
};

// Gives |list| these shared-file fragments while it lives.
class ScopedSharedFragments {
public:
    ScopedSharedFragments(FileList& list, std::initializer_list<const char*> fragments) : m_list(list) {
        for (const char* fragment : fragments) m_list.m_sharedFiles.push_back(SharedFileEntry{fragment});
    }
    ~ScopedSharedFragments() { m_list.m_sharedFiles.clear(); }
    ScopedSharedFragments(const ScopedSharedFragments&) = delete;
    ScopedSharedFragments& operator=(const ScopedSharedFragments&) = delete;

private:
    FileList& m_list;
};
