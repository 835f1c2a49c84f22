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

void CreateProgramShortcuts(const FileList& list, RunUi& ui, InstallLog& log, InstallRecord& record,
                            const CLSID& linkClass) {
    for (const ShortcutEntry& entry : list.m_shortcuts) {
        const char* link = entry.m_pszLink.OrEmpty();
        const char* target = entry.m_pszTarget.OrEmpty();
        if (!EnsureDirectory(link, log, record)) {
            WriteLog(log, "Failed to create group: %s.", link);
            ui.ShowBox(RunBox::kNotice,
                       "Failed to create group.\nYou still can run the program and\nuninstaller from their directory");
            continue;
        }
        if (CreateShortcut(target, link, entry.m_pszDescription.OrEmpty(), linkClass) == S_OK && FileExists(link)) {
            WriteLog(log, "Successfully created: %s", link);
            record.Add(EffectKind::kShortcut, link);
        } else {
            WriteLog(log, "Failed to create shortcut to %s", target);
            std::string text = std::string("Failed to create start menu shortcut to\n") + target +
                               "\nYou still can run the program from its directory";
            ui.ShowBox(RunBox::kNotice, text);
        }
    }
}
