#include "base/system_info.h"

#include "base/wide_text.h"

namespace {

// The text of a function that fills a buffer as AskWide's asks do, in UTF-8.
std::string AskText(WideAsk ask, const void* context = nullptr) {
    std::wstring text;
    return AskWide(ask, context, text) ? Narrow(text) : std::string();
}

}  // namespace

std::string ModulePath() {
    // GetModuleFileName fills the buffer and says nothing of the size it
    // needs: a buffer that it fills is asked again twice as large.
    return AskText([](const void*, wchar_t* buffer, unsigned long room) -> unsigned long {
        const DWORD length = GetModuleFileNameW(nullptr, buffer, room);
        return length < room ? length : room * 2;
    });
}

std::string TemporaryDirectory() {
    std::string dir =
        AskText([](const void*, wchar_t* buffer, unsigned long room) -> unsigned long { return GetTempPathW(room, buffer); });
    if (dir.size() > 1 && dir.back() == '\\') dir.pop_back();
    return dir;
}

std::string WindowsDirectory() {
    return AskText(
        [](const void*, wchar_t* buffer, unsigned long room) -> unsigned long { return GetWindowsDirectoryW(buffer, room); });
}

std::string SystemDirectory() {
    return AskText(
        [](const void*, wchar_t* buffer, unsigned long room) -> unsigned long { return GetSystemDirectoryW(buffer, room); });
}

std::string EnvironmentVariable(const char* name) {
    const std::wstring wide = Wide(name);
    return AskText(
        [](const void* name, wchar_t* buffer, unsigned long room) -> unsigned long {
            return GetEnvironmentVariableW(static_cast<const std::wstring*>(name)->c_str(), buffer, room);
        },
        &wide);
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
