#include "engine/shortcuts.h"

#include "engine/directory.h"
#include "engine/file_placement.h"

#include <objbase.h>
#include <objidl.h>
#include <shlguid.h>
#include <shobjidl.h>

#include <string>

namespace {

// Saves the link through its IPersistFile under |linkPath|, converted to
// UTF-16. The HRESULT of the save, or of the conversion when the name does
// not fit: a cut name would put the link somewhere nobody asked for.
HRESULT SaveLink(IPersistFile* file, const char* linkPath) {
    WCHAR wideName[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, linkPath, -1, wideName, MAX_PATH) == 0) {
        DWORD error = GetLastError();
        return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
    }
    return file->Save(wideName, TRUE);
}

}  // namespace

HRESULT CreateShortcut(const char* target, const char* linkPath, const char* description, const CLSID& linkClass) {
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    HRESULT hr = CoCreateInstance(linkClass, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  reinterpret_cast<void**>(&link));
    if (SUCCEEDED(hr)) {
        link->SetPath(target);
        link->SetDescription(description);
        IPersistFile* file = nullptr;
        hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
        if (SUCCEEDED(hr)) {
            hr = SaveLink(file, linkPath);
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
