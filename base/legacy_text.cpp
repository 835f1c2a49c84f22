#include "base/legacy_text.h"

#include "base/utf8.h"

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>

#include <cerrno>
#endif

bool IsListCodePage(unsigned codePage) {
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 ||
           (codePage >= 1250 && codePage <= 1258);
}

bool LegacyToUtf8(unsigned codePage, std::string_view bytes, std::string& utf8) {
    utf8.clear();
    if (codePage == 65001) {
        if (!IsUtf8(bytes)) return false;
        utf8.assign(bytes);
        return true;
    }
    if (bytes.empty()) return true;
#ifdef _WIN32
    const int size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (length <= 0) return false;
    Utf16String wide(static_cast<size_t>(length), L'\0');
    if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, &wide[0], length) != length)
        return false;
    return Utf16ToUtf8(wide.data(), wide.size(), utf8);
#else
    const iconv_t converter = iconv_open("UTF-8", ("CP" + std::to_string(codePage)).c_str());
    if (converter == iconv_t(-1)) return false;
    std::string out(bytes.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* at = &out[0];
    size_t outLeft = out.size();
    // Every character of these code pages takes at most 4 bytes in UTF-8:
    // the output cannot run out of room, so any failure is a bad sequence.
    const bool converted = iconv(converter, &in, &inLeft, &at, &outLeft) != size_t(-1) && inLeft == 0 &&
                           iconv(converter, nullptr, nullptr, &at, &outLeft) != size_t(-1);
    iconv_close(converter);
    if (!converted) return false;
    out.resize(out.size() - outLeft);
    utf8 = std::move(out);
    return true;
#endif
}

unsigned SystemAnsiCodePage() {
#ifdef _WIN32
    wchar_t text[8] = L"";
    unsigned codePage = 0;
    if (GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE, text, 8) > 0)
        for (const wchar_t* digit = text; *digit >= L'0' && *digit <= L'9'; ++digit)
            codePage = codePage * 10 + unsigned(*digit - L'0');
    return codePage ? codePage : GetACP();
#else
    return 1252;
#endif
}
