#include "engine/shortcuts.h"

#include "base/wide_text.h"
#include "engine/directory.h"
#include "engine/file_placement.h"

#include <objbase.h>
#include <objidl.h>
#include <shlguid.h>
#include <shobjidl.h>

#include <string>

namespace {

// Saves the link through its IPersistFile under |linkPath| (UTF-16). The
// HRESULT of the save, or ERROR_INSUFFICIENT_BUFFER when the name does not
// fit in MAX_PATH characters with its terminator, as the shell's links
// need: a cut name would put the link somewhere nobody asked for.
HRESULT SaveLink(IPersistFile* file, const std::wstring& linkPath) {
    if (linkPath.size() >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    return file->Save(linkPath.c_str(), TRUE);
}

}  // namespace

HRESULT CreateShortcut(const char* target, const char* linkPath, const char* description, const CLSID& linkClass) {
    // Every text the program holds was checked as UTF-8 when it came in; one
    // that is not names no link.
    const std::wstring wideLink = Wide(linkPath);
    if (wideLink.empty() && *linkPath) return HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
    CoInitialize(nullptr);
    IShellLinkW* link = nullptr;
    HRESULT hr = CoCreateInstance(linkClass, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link));
    if (SUCCEEDED(hr)) {
        link->SetPath(Wide(target).c_str());
        link->SetDescription(Wide(description).c_str());
        IPersistFile* file = nullptr;
        hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
        if (SUCCEEDED(hr)) {
            hr = SaveLink(file, wideLink);
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return hr;
}

RunResult CreateProgramShortcut(const ShortcutEntry& entry, InstallLog& log, InstallRecord& record,
                                const CLSID& linkClass) {
    const char* link = entry.m_pszLink.OrEmpty();
    const char* target = entry.m_pszTarget.OrEmpty();
    const RunResult group = EnsureDirectory(link, log, record);
    if (group.Failed()) return RunResult(RunOutcome::kGroupFailed, link).Because(group);
    const HRESULT hr = CreateShortcut(target, link, entry.m_pszDescription.OrEmpty(), linkClass);
    if (hr != S_OK || !FileExists(link)) return RunResult(RunOutcome::kShortcutFailed, target, static_cast<uint32_t>(hr));
    WriteLog(log, "Successfully created: %s", link);
    record.Add(EffectKind::kShortcut, link);
    return RunResult();
}
