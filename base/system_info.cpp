#include "base/system_info.h"

#include "base/wide_text.h"

#include <vector>

namespace {

// A text that a function writes into a buffer of |size| characters and whose
// length it returns: without the terminator when it fits, the size it needs
// when it does not, 0 on failure.
template <typename Ask>
std::string AskText(Ask ask) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (int attempt = 0; attempt < 4; ++attempt) {
        const UINT length = ask(buffer.data(), UINT(buffer.size()));
        if (length == 0) return std::string();
        if (length < buffer.size()) return Narrow(buffer.data(), length);
        buffer.resize(length + 1);
    }
    return std::string();
}

}  // namespace

std::string ModulePath() {
    // GetModuleFileName fills the buffer and says nothing of the size it
    // needs: a buffer that is filled is grown and asked again.
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length == 0) return std::string();
        if (length < path.size()) return Narrow(path.data(), length);
        if (path.size() >= 32768) return std::string();
        path.resize(path.size() * 2);
    }
}

std::string TemporaryDirectory() {
    std::string dir = AskText([](wchar_t* buffer, UINT size) { return UINT(GetTempPathW(size, buffer)); });
    if (dir.size() > 1 && dir.back() == '\\') dir.pop_back();
    return dir;
}

std::string WindowsDirectory() {
    return AskText([](wchar_t* buffer, UINT size) { return GetWindowsDirectoryW(buffer, size); });
}

std::string SystemDirectory() {
    return AskText([](wchar_t* buffer, UINT size) { return GetSystemDirectoryW(buffer, size); });
}

std::string EnvironmentVariable(const char* name) {
    const std::wstring wide = Wide(name);
    return AskText([&wide](wchar_t* buffer, UINT size) { return UINT(GetEnvironmentVariableW(wide.c_str(), buffer, size)); });
}

std::string FormatSystemError(DWORD code) {
    // Inserts are left as written: there are no arguments for them, and
    // without FORMAT_MESSAGE_IGNORE_INSERTS a text with "%1" would make the
    // system read arguments that were never passed.
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                        reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string result;
    if (length && text) result = Narrow(text, length);
    if (text) LocalFree(text);
    return result;
}
