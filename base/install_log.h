// The installation log, "SETUP.LOG".
//
// Every step of the installation is one line: "%d %b %Y %H:%M:%S " in local
// time, the message, CR LF, in UTF-8 without a byte order mark (a log of
// ASCII names is plain ASCII). Until OpenLogFile succeeds, lines are gathered in
// memory; they become the top of the file when it opens, and later lines go
// straight to it. A line for which the filter handed to the log says so (the
// program hands it the file list's shared-file test, which looks at the whole
// composed line, timestamp included) is dropped. The file is closed when the
// log is destroyed at program exit. Win32-free, so it is tested natively.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>

class InstallLog {
public:
    using Clock = std::function<std::time_t()>;
    using Filter = std::function<bool(const char* line)>;
    using Observer = std::function<void(const std::string& line)>;

    // |clock| gives the time of each line (default: the system clock in std::time's terms); |filter| says
    // which composed lines to drop (default: none).
    explicit InstallLog(Clock clock = Clock(), Filter filter = Filter());
    ~InstallLog();
    InstallLog(const InstallLog&) = delete;
    InstallLog& operator=(const InstallLog&) = delete;

    // Creates (or empties) |path| and writes the gathered lines to it. FALSE
    // when a file is already open (it stays in use) or |path| cannot be
    // created (lines go on gathering in memory).
    bool OpenLogFile(std::string path);
    // The same with a file the caller has opened for writing (for a file
    // created where its name must not exist yet); the log closes it. FALSE
    // when a file is already open or |file| is null (|file| is then closed).
    bool UseLogFile(std::FILE* file);

    // Composes one line from a printf format and writes or gathers it.
    void WriteV(const char* format, va_list args);

    // The lines gathered while no file is open (each with its CR LF); empty
    // again once they have been written to the opened file.
    const std::string& Pending() const { return m_strPending; }

    // Replaces the filter; an empty one drops no line.
    void SetFilter(Filter filter);

    // Seam for tests: |observer| sees every line that is kept (not filtered),
    // as composed, without CR LF, in addition to its normal way to the file or
    // the pending text. An empty observer removes it. The program sets none.
    void SetLineObserver(Observer observer);

private:
    Clock m_clock;
    Filter m_filter;
    Observer m_observer;
    std::string m_strPending;
    std::FILE* m_pFile = nullptr;
    std::time_t m_stampTime = 0;  // the time m_stamp was made for
    std::string m_stamp;          // the timestamp text of that time (empty: none made yet, or none to make)
};

// Appends one time-stamped line to |log|; |format| and the arguments are printf's.
void WriteLog(InstallLog& log, const char* format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 2, 3)))
#endif
    ;
