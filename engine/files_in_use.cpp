#include "engine/files_in_use.h"

#include <algorithm>

#ifdef _WIN32
#include "base/file_system.h"
#include "base/path_parts.h"
#include "base/wide_text.h"
#include "engine/file_list_win.h"
#include "engine/system_library.h"

#include <windows.h>

#include <restartmanager.h>
#endif

std::string FilesInUseText(const std::vector<std::string>& applications, const std::vector<std::string>& files) {
    const bool byProgram = !applications.empty();
    const std::vector<std::string>& names = byProgram ? applications : files;
    std::string text = byProgram ? "Setup must replace files that these programs use:\n"
                                 : "These files are in use by another program and cannot be replaced now:\n";
    const size_t listed = std::min(names.size(), kInUseListed);
    for (size_t i = 0; i < listed; ++i) text += "\n" + names[i];
    if (names.size() > listed) text += "\nand " + std::to_string(names.size() - listed) + " more";
    return text + "\n\nClose the programs and choose Try Again.\nContinue replaces the files when Windows "
                  "restarts;\nCancel stops Setup without changing anything.";
}

#ifdef _WIN32

bool FileInUse(const std::string& path) {
    const HANDLE file = OpenPathHandle(path, GENERIC_WRITE | DELETE, 0, OPEN_EXISTING);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return false;
    }
    const DWORD error = GetLastError();
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

std::vector<std::string> FindFilesInUse(const Medium& medium, const std::string& destDir) {
    std::vector<std::string> inUse;
    const MediumText& text = medium.List();
    FileList list;
    std::string defaultDestDir;
    if (!text.present || !LoadFileList(nullptr, text.bytes, destDir.c_str(), list, defaultDestDir)) return inUse;
    // A file in a directory that is not there is not there either: a new
    // installation asks the system about a directory, not about each of its
    // files (a list names the files of a directory one after another).
    std::string directory;
    bool directoryThere = false;
    for (const FileEntry& entry : list.m_files) {
        const std::string dest = entry.m_pszDest.OrEmpty();
        const PathParts parts = SplitPath(dest, "\\");
        if (parts.directory != directory || directory.empty()) {
            directory = parts.directory;
            directoryThere = PathAttributes(directory) != INVALID_FILE_ATTRIBUTES;
        }
        if (directoryThere && std::find(inUse.begin(), inUse.end(), dest) == inUse.end() && FileInUse(dest))
            inUse.push_back(dest);
    }
    return inUse;
}

std::vector<std::string> ProgramsUsing(const std::vector<std::string>& files) {
    std::vector<std::string> programs;
    // Windows Vista and later; Wine's names no program.
    const SystemLibrary library("rstrtmgr.dll");
    const auto start = library.Function<decltype(&RmStartSession)>("RmStartSession");
    const auto add = library.Function<decltype(&RmRegisterResources)>("RmRegisterResources");
    const auto list = library.Function<decltype(&RmGetList)>("RmGetList");
    const auto end = library.Function<decltype(&RmEndSession)>("RmEndSession");
    if (!start || !add || !list || !end || files.empty()) return programs;

    DWORD session = 0;
    WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
    if (start(&session, 0, key) != ERROR_SUCCESS) return programs;
    bool registered = true;
    for (const std::string& file : files) {
        const std::wstring wide = WidePath(file);
        LPCWSTR name = wide.c_str();
        registered = registered && add(session, 1, &name, 0, nullptr, 0, nullptr) == ERROR_SUCCESS;
    }
    // As many as the box lists; where more programs hold them (ERROR_MORE_DATA),
    // the box lists the files instead.
    RM_PROCESS_INFO found[kInUseListed];
    UINT needed = 0, count = kInUseListed;
    DWORD reasons = 0;
    const bool listed = registered && list(session, &needed, &count, found, &reasons) == ERROR_SUCCESS;
    end(session);
    for (UINT i = 0; listed && i < count && i < kInUseListed; ++i) {
        const std::string name = Narrow(std::wstring(found[i].strAppName));
        if (!name.empty() && std::find(programs.begin(), programs.end(), name) == programs.end())
            programs.push_back(name);
    }
    return programs;
}

#endif
