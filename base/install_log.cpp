#include "base/install_log.h"

#include "base/file_io.h"
#include "base/format_text.h"
#include "base/utf8.h"
#include "base/staged_file.h"

#include <utility>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// One line holds this many characters: timestamp and message (the classic's
// buffer of 512 with its terminating zero). A longer message is cut to fit,
// between two characters.
constexpr size_t kLineCharacters = 511;

constexpr char kTimestampFormat[] = "%d %b %Y %H:%M:%S ";

// The time now, as std::time gives it. On Windows from the system clock
// directly: the C runtime's time() asks for the time zone as well, and under
// Wine that looks at /etc/localtime twice per call, for every line.
std::time_t Now() {
#ifdef _WIN32
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const unsigned long long ticks = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    // 100-nanosecond ticks since 1601 to seconds since 1970.
    return static_cast<std::time_t>((ticks - 116444736000000000ull) / 10000000ull);
#else
    return std::time(nullptr);
#endif
}

}  // namespace

InstallLog::InstallLog(Clock clock, Filter filter) : m_clock(std::move(clock)), m_filter(std::move(filter)) {
    if (!m_clock) m_clock = [] { return Now(); };
}

void InstallLog::SetFilter(Filter filter) { m_filter = std::move(filter); }

InstallLog::~InstallLog() {
    if (m_pFile) std::fclose(m_pFile);
}

bool InstallLog::OpenLogFile(std::string path) {
    if (m_pFile) return false;
    // A new file put in the place of whatever had the name (an old log, or a
    // link planted there, which is replaced and never written through).
    StagedFile log(std::move(path), "log");
    return UseLogFile(log.PlaceOpen());
}

bool InstallLog::UseLogFile(std::FILE* file) {
    if (m_pFile || !file) {
        if (file) std::fclose(file);
        return false;
    }
    m_pFile = file;
    if (!m_strPending.empty()) {
        std::fwrite(m_strPending.data(), 1, m_strPending.size(), m_pFile);
        m_strPending.clear();
    }
    return true;
}

void InstallLog::WriteV(const char* format, va_list args) {
    // Timestamp in local time; the C runtime's default locale gives English
    // month names. A time the runtime cannot convert leaves the stamp out.
    // The stamp of the line before is used again within the same second: an
    // installation writes several lines per file, many in a second.
    std::time_t now = m_clock();
    if (now != m_stampTime || m_stamp.empty()) {
        m_stamp.clear();
        if (const std::tm* local = std::localtime(&now)) {
            char text[64];
            m_stamp.assign(text, std::strftime(text, sizeof text, kTimestampFormat, local));
        }
        m_stampTime = now;
    }

    // The message after it (up to a NUL it may hold), cut to the line's
    // characters; the stamp's are ASCII.
    std::string line = m_stamp;
    std::string message = FormatTextV(format, args);
    message.resize(std::char_traits<char>::length(message.c_str()));
    const size_t room = kLineCharacters > m_stamp.size() ? kLineCharacters - m_stamp.size() : 0;
    line.append(message, 0, Utf8PrefixBytes(message, room));

    if (m_filter && m_filter(line.c_str())) return;

    if (m_pFile) {
        std::fwrite(line.data(), 1, line.size(), m_pFile);
        std::fwrite("\r\n", 1, 2, m_pFile);
    } else {
        m_strPending += line;
        m_strPending += "\r\n";
    }
    if (m_observer) m_observer(line);
}

void InstallLog::SetLineObserver(Observer observer) { m_observer = std::move(observer); }

void WriteLog(InstallLog& log, const char* format, ...) {
    va_list args;
    va_start(args, format);
    log.WriteV(format, args);
    va_end(args);
}
