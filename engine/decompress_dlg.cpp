#include "engine/decompress_dlg.h"

#include "app/install_log.h"
#include "data/file_list.h"
#include "data/file_list_win.h"
#include "engine/directory.h"
#include "engine/file_placement.h"
#include "engine/format_text.h"
#include "engine/path_names.h"
#include "engine/registry_values.h"
#include "engine/shortcuts.h"
#include "expand/expand_file.h"
#include "fw/message_box.h"
#include "res/resource.h"

#include <commctrl.h>

namespace {

constexpr UINT kTimerId = 1;
constexpr UINT kTickMs = 200;

}  // namespace

CDlgDecompress::CDlgDecompress(CWnd* pParent) : CDialog(IDD_DECOMPRESS, pParent) {}

INT_PTR CDlgDecompress::DoModal() {
    // The progress bar is a common control: its class must exist before the template is made.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    return CDialog::DoModal();
}

BOOL CDlgDecompress::OnInitDialog() {
    CDialog::OnInitDialog();
    // The boxes below run message loops that deliver ticks of the timer
    // started here; being busy until the end turns them away.
    m_bBusy = TRUE;
    m_nTimer = SetTimer(m_hWnd, kTimerId, kTickMs, nullptr);
    g_hWndProgress = m_hWnd;
    WriteLog(theLog, "Decompression box opened");

    if (!m_nTimer) {
        // Without ticks nothing would ever happen, nor end the dialog.
        MessageBox("Failed to start the installation timer, cannot continue installation", "Error",
                   MB_OK | MB_ICONERROR);
        EndDialog(IDCANCEL);
    } else if (!EnsureDirectory(m_strDestDir + "\\")) {
        MessageBox("Failed to create destination directory, please check problem and restart install");
        EndDialog(IDCANCEL);
    } else if (!theLog.OpenLogFile(m_strDestDir + "\\SETUP.LOG") &&
               MessageBox("Failed to create setup log file, do you wish try to continue?", "Error", MB_YESNO) != IDYES) {
        EndDialog(IDCANCEL);
    } else if (!LoadFileList(m_hWnd, "setup.drc", m_strDestDir.c_str())) {
        // Also after "continue without a log file": the run needs the paths
        // resolved against the destination directory.
        WriteLog(theLog,
                 "One or more files missing, LoadFileList(m_hWnd,\"setup.drc\",%s) failed. Installation aborted.",
                 m_strDestDir.c_str());
        MessageBox("One or more files missing, cannot continue installation");
        EndDialog(IDCANCEL);
    } else {
        CheckTemporaryDirectory();
    }

    SendDlgItemMessage(IDC_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, static_cast<WORD>(theFileList.m_nFiles - 1)));
    m_bBusy = FALSE;
    return TRUE;
}

void CDlgDecompress::CheckTemporaryDirectory() {
    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    m_strTempPath = temp;
    WriteLog(theLog, "Temporary path: %s", temp);
    if (m_strTempPath.size() > 1 && m_strTempPath.back() == '\\') m_strTempPath.pop_back();

    std::string withSlash = m_strTempPath + "\\";
    if (!EnsureDirectory(withSlash)) WriteLog(theLog, "EnsureDirectory(%s) returned FALSE.", withSlash.c_str());

    FindFirst search(m_strTempPath);
    if (!search.Found()) return;
    if (search.IsDirectory()) {
        WriteLog(theLog, "Temporary path exists and is ok");
    } else {
        std::string text = FormatText(
            "The specified Windows temporary directory setting is wrong.\nPlease correct the problem and "
            "reinstall.\nWrong path: %s\n",
            m_strTempPath.c_str());
        ShowMessageBox(nullptr, text.c_str(), "Error", MB_ICONERROR);
        EndDialog(IDCANCEL);
        WriteLog(theLog, "Temporary path is a file, not a directory. Must abort installation");
    }
}

bool CDlgDecompress::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    if (message != WM_TIMER) return false;
    OnTimer(wParam);
    result = 0;
    return true;
}

void CDlgDecompress::OnTimer(UINT_PTR) {
    if (!m_bBusy) {
        m_bBusy = TRUE;
        if (m_nStep >= 0) {
            int i = m_nStep / 10;
            switch (m_nStep % 10) {
            case 0:
                if (i < theFileList.m_nFiles)
                    CheckStep(i);
                else
                    FinalStep();
                break;
            case 1: ExpandStep(); break;
            default: break;
            }
        }
        m_bBusy = FALSE;
    }
    Default();
}

void CDlgDecompress::CheckStep(int i) {
    const FileEntry& entry = theFileList.m_pFiles[i];
    m_strSource = entry.m_pszSource.OrEmpty();
    std::string dest = entry.m_pszDest.OrEmpty();
    std::string fileName = GetPathFileName(dest);

    // A shared file is kept out of what the user sees.
    std::string status = "Checking " + fileName;
    if (!IsSharedFile(status.c_str())) {
        SetDlgItemText(IDC_STATUS, status.c_str());
        SendDlgItemMessage(IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(i), 0);
    }

    m_strDest = dest;
    if (IsDllPath(dest)) {
        WriteLog(theLog, "Destination pathname: %s", m_strDest.c_str());
        IncrementSharedDllCount(m_strDest.c_str());
        switch (DecideDllReplacement(m_strDest, m_strSource, m_strTempPath)) {
        case Abort: EndDialog(IDCANCEL); return;
        case Keep: m_nStep += 10; return;
        case Replace: break;
        }
    }
    WriteLog(theLog, "Dest Path Name: %s", m_strDest.c_str());
    SetDlgItemText(IDC_STATUS, ("Expanding " + fileName).c_str());
    SendDlgItemMessage(IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(i), 0);
    m_nStep += 1;
}

void CDlgDecompress::ExpandStep() {
    if (IsDllPath(m_strDest)) {
        if (FileExists(m_strDest)) {
            if (IsSharedFile(m_strDest.c_str())) {
                // A shared DLL is never moved away (other programs load it
                // from here); the newer one is written over it in place.
                WriteLog(theLog, "Shared DLL is replaced in place, without backup");
            } else if (BackupOldDll(m_strDest, m_strDestDir, &m_bDllsUpgraded)) {
                WriteLog(theLog, "DLL %s saved successfully", m_strDest.c_str());
            } else {
                WriteLog(theLog, "DLL %s could not be saved", m_strDest.c_str());
                EndDialog(IDCANCEL);
                return;
            }
        } else {
            WriteLog(theLog, "%s does not exist previously", m_strDest.c_str());
        }
    } else {
        EnsureDirectory(m_strDest);
    }

    WriteLog(theLog, "Will decompress %s to %s", m_strSource.c_str(), m_strDest.c_str());
    if (ExpandFile(m_strSource.c_str(), m_strDest.c_str()) != 0) {
        std::string text = FormatText("Failed to decompress file\n%s\nIs file in use?", m_strDest.c_str());
        if (IsSharedFile(text.c_str())) {
            ShowMessageBox(nullptr, "Cannot decompress shared file. Please close all other applications and reinstall",
                           "Error", MB_ICONERROR);
            WriteLog(theLog, "Cannot decompress shared file, must abort");
        } else {
            ShowMessageBox(nullptr, text.c_str(), "Error", MB_ICONERROR);
            WriteLog(theLog, "Failed to decompress to %s, must abort", m_strDest.c_str());
        }
        EndDialog(IDCANCEL);
    } else {
        WriteLog(theLog, "File decompressed ok");
    }
    m_nStep += 9;
}

void CDlgDecompress::FinalStep() {
    CreateProgramShortcuts(this);
    WriteRegistryEntries();
    WriteLog(theLog, "End of Installation");
    if (m_bDllsUpgraded) {
        WriteLog(theLog, "Some dlls were upgraded");
        MessageBox("Some system files (dlls) needed to be\nupgraded to newer versions. The old versions\nwere moved to "
                   "the directory BACKUP, below\nthe application's directory.\n");
    }
    m_nStep = -1;
    EndDialog(IDOK);
}

void CDlgDecompress::WriteRegistryEntries() {
    // Set once any entry has been written: later failures are then not reported.
    BOOL bWritten = FALSE;
    for (int i = 0; i < theFileList.m_nRegEntries; ++i) {
        const RegistryEntry& entry = theFileList.m_pRegEntries[i];
        const char* type = entry.m_pszType;
        bool unknownType = false;
        if (type && lstrcmpiA(type, "SZ") == 0) {
            if (WriteRegistryString(entry.m_pszPath.OrEmpty(), entry.m_pszValue.OrEmpty(), entry.m_chSep)) {
                WriteLog(theLog, "Key added successfully: %s=%s", entry.m_pszPath.OrEmpty(), entry.m_pszValue.OrEmpty());
                bWritten = TRUE;
                continue;
            }
        } else if (type && lstrcmpiA(type, "DWORD") == 0) {
            if (WriteRegistryDword(entry.m_pszPath.OrEmpty(), entry.m_dwValue, entry.m_chSep)) {
                WriteLog(theLog, "Key added successfully: %s=%0x", entry.m_pszPath.OrEmpty(),
                         static_cast<unsigned>(entry.m_dwValue));
                bWritten = TRUE;
                continue;
            }
        } else {
            unknownType = true;
        }
        if (bWritten) continue;
        if (unknownType) {
            WriteLog(theLog, "Failed to add registry key. Unknown type: %s", entry.m_pszType.OrEmpty());
        } else {
            WriteLog(theLog, "Registry not successfully updated");
            MessageBox("Uninstall information could not successfully\nbe input to registry. The program can run "
                       "normally,\nbut its uninstallation will have to be done\nmanually.");
        }
    }
}

BOOL CDlgDecompress::DestroyWindow() {
    if (m_nTimer) KillTimer(m_hWnd, m_nTimer);
    WriteLog(theLog, "Destroying decompression box");
    return CDialog::DestroyWindow();
}
