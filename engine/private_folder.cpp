#include "engine/private_folder.h"

#include "base/file_system.h"
#include "base/hex.h"
#include "base/wide_text.h"

#include <fcntl.h>
#include <io.h>
#include <ntsecapi.h>
#include <sddl.h>

namespace {

// Names tried before giving up: a taken name means someone made it first
// (random names do not collide), and a few more tries cost nothing.
constexpr int kAttempts = 16;

// Deletes |dir| and everything in it; what cannot be deleted is left to the
// next restart. A link inside is removed itself, never followed.
void RemoveTree(const std::string& dir) {
    for (FindFirst found(dir + "\\*"); found.Found();) {
        const std::string name = found.Name();
        const DWORD attributes = found.Attributes();
        const bool more = found.Next();
        if (name != "." && name != ".." && !name.empty()) {
            const std::string path = dir + "\\" + name;
            if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                RemoveTree(path);
            } else {
                if (attributes & FILE_ATTRIBUTE_READONLY) SetPathAttributes(path, FILE_ATTRIBUTE_NORMAL);
                const bool removed = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryPath(path) : DeletePath(path);
                if (!removed) DeleteAtRestart(path);
            }
        }
        if (!more) break;
    }
    if (!RemoveDirectoryPath(dir)) DeleteAtRestart(dir);
}

}  // namespace

std::string RandomHex(size_t count) {
    unsigned char bytes[32];
    if (count > sizeof bytes || !RtlGenRandom(bytes, static_cast<ULONG>(count))) return std::string();
    return HexText(bytes, count, HexLetters::kLower);
}

bool RunsElevated() {
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return true;
    struct {
        DWORD TokenIsElevated;
    } elevation = {};
    DWORD size = 0;
    const bool known = GetTokenInformation(token, TOKEN_INFORMATION_CLASS(20) /* TokenElevation */, &elevation,
                                           sizeof elevation, &size) != 0;
    CloseHandle(token);
    if (known) return elevation.TokenIsElevated != 0;
    SID_IDENTIFIER_AUTHORITY nt = {SECURITY_NT_AUTHORITY};
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                  &administrators))
        return true;
    BOOL member = TRUE;
    if (!CheckTokenMembership(nullptr, administrators, &member)) member = TRUE;
    FreeSid(administrators);
    return member != FALSE;
}

std::string PrivateFolderSddl(bool withLabel) {
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return std::string();
    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } info;
    DWORD size = 0;
    wchar_t* sid = nullptr;
    const bool read = GetTokenInformation(token, TokenUser, &info, sizeof info, &size) &&
                      ConvertSidToStringSidW(info.user.User.Sid, &sid);
    CloseHandle(token);
    if (!read) return std::string();
    // D:P a protected access list; (A;OICI;FA;;;X) full access for X,
    // inherited by files (OI) and folders (CI) inside. A program with an
    // administrator's rights leaves its own user out: the same user's
    // programs without those rights must not reach in. S: the high
    // integrity label, which keeps lower programs from writing (no write up).
    std::string sddl = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
    if (RunsElevated())
        sddl += withLabel ? "S:(ML;OICI;NW;;;HI)" : "";
    else
        sddl += std::string("(A;OICI;FA;;;") + Narrow(sid, wcslen(sid)) + ")";
    LocalFree(sid);
    return sddl;
}

RunResult PrivateFolder::Create(const std::string& parent) {
    Remove();
    DWORD code = ERROR_ACCESS_DENIED;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    // Systems without integrity levels (before Windows Vista) do not read
    // the label: the access list alone there.
    bool made = false;
    if (parent.empty()) {
        // No temporary directory: a folder "\\setup-..." would be made at the
        // root of whatever drive is current.
        code = ERROR_PATH_NOT_FOUND;
    } else {
        for (bool withLabel : {true, false}) {
            const std::string sddl = PrivateFolderSddl(withLabel);
            made = !sddl.empty() && ConvertStringSecurityDescriptorToSecurityDescriptorW(
                                        Wide(sddl).c_str(), SDDL_REVISION_1, &descriptor, nullptr);
            if (made || sddl.empty()) break;
        }
        if (!made) code = GetLastError();
    }
    if (made) {
        SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            const std::string random = RandomHex(8);
            if (random.empty()) break;  // no name without the system's random bytes
            const std::string path = parent + "\\setup-" + random;
            if (MakeDirectory(path, &attributes)) {
                m_path = path;
                break;
            }
            code = GetLastError();
            if (code != ERROR_ALREADY_EXISTS && code != ERROR_FILE_EXISTS) break;
        }
        LocalFree(descriptor);
    }
    if (m_path.empty()) return RunResult(RunOutcome::kTempFolderFailed, parent, code);
    // Held open, without sharing its deletion, while it is used: no one can
    // rename it and put a link or another folder under its name.
    m_held = OpenPathHandle(m_path, FILE_LIST_DIRECTORY | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    return RunResult();
}

void PrivateFolder::Remove() {
    const std::string path = m_path;
    Keep();  // closed, so that it can go
    if (!path.empty()) RemoveTree(path);
}

void PrivateFolder::Keep() {
    if (m_held != INVALID_HANDLE_VALUE) CloseHandle(m_held);
    m_held = INVALID_HANDLE_VALUE;
    m_path.clear();
}

std::FILE* CreateFreshFile(const std::string& dir, const std::string& prefix, const std::string& suffix,
                           std::string& path) {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::string random = RandomHex(4);
        if (random.empty()) return nullptr;
        path = dir + "\\" + prefix + random + suffix;
        // CREATE_NEW fails on any existing name, a link included: the file
        // is new and ours.
        HANDLE file = OpenPathHandle(path, GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW);
        if (file == INVALID_HANDLE_VALUE) {
            const DWORD code = GetLastError();
            if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) return nullptr;
            continue;
        }
        const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY | _O_BINARY);
        if (descriptor == -1) {
            CloseHandle(file);
            return nullptr;
        }
        if (std::FILE* stream = _fdopen(descriptor, "wb")) return stream;
        _close(descriptor);
        return nullptr;
    }
    return nullptr;
}
