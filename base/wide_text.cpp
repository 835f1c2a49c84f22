#include "base/wide_text.h"

#include "base/utf8.h"

#include <windows.h>

std::wstring Wide(const std::string& text) {
    std::wstring wide;
    Utf8ToUtf16(text, wide);
    return wide;
}

std::string Narrow(const wchar_t* text, size_t length) {
    std::string narrow;
    Utf16ToUtf8(text, length, narrow);
    return narrow;
}

std::string Narrow(const std::wstring& text) { return Narrow(text.data(), text.size()); }

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
    return a == b || lstrcmpiW(Wide(a).c_str(), Wide(b).c_str()) == 0;
}

std::wstring WidePath(const std::string& path) {
    std::wstring wide = Wide(path);
    if (wide.size() < kLongPathFrom || wide.compare(0, 4, L"\\\\?\\") == 0 || wide.compare(0, 4, L"\\\\.\\") == 0)
        return wide;
    std::wstring full;
    if (!AskWide(
            [](const void* asked, wchar_t* buffer, unsigned long room) -> unsigned long {
                return GetFullPathNameW(static_cast<const std::wstring*>(asked)->c_str(), room, buffer, nullptr);
            },
            &wide, full))
        return wide;
    if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC" + full.substr(1);
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return L"\\\\?\\" + full;
    return wide;
}

bool AskWide(WideAsk ask, const void* context, std::wstring& text) {
    text.assign(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 8; ++attempt) {
        const unsigned long length = ask(context, &text[0], static_cast<unsigned long>(text.size()));
        if (length == 0) break;
        if (length < text.size()) {
            text.resize(length);
            return true;
        }
        if (length > 32768) break;
        text.assign(length + 1, L'\0');
    }
    text.clear();
    return false;
}
