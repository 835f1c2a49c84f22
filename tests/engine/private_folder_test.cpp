// The run's private temporary folder and the kept files with fresh names.
#include "engine/private_folder.h"

#include "engine/system_library.h"
#include "tests/temp_dir.h"

#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>
#include <vector>

namespace {

std::string SidText(PSID sid) {
    char* text = nullptr;
    if (!ConvertSidToStringSidA(sid, &text)) return "(bad SID)";
    std::string result = text;
    LocalFree(text);
    return result;
}

// The user of this process's token, as text.
std::string OwnUserSid() {
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return std::string();
    BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    std::string sid;
    if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size))
        sid = SidText(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid);
    CloseHandle(token);
    return sid;
}

// What an access list grants: one "SID mask flags" text per entry, and
// whether the list is protected from inheritance.
struct Access {
    bool protectedList = false;
    std::set<std::string> entries;
};

Access AccessOf(PSECURITY_DESCRIPTOR descriptor) {
    Access access;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    access.protectedList = (control & SE_DACL_PROTECTED) != 0;
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted) || !present || !acl) return access;
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(acl, i, &ace)) continue;
        const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        std::string entry = (allowed->Header.AceType == ACCESS_ALLOWED_ACE_TYPE ? "allow " : "other ") +
                            SidText(const_cast<DWORD*>(&allowed->SidStart)) + " " +
                            std::to_string(allowed->Mask) + " " + std::to_string(allowed->Header.AceFlags);
        access.entries.insert(entry);
    }
    return access;
}

// Full access (FILE_ALL_ACCESS) for SYSTEM, Administrators and, in a
// process without an administrator's rights, the user, inherited by files
// and folders inside.
Access Expected(const std::string& flags) {
    Access access;
    access.protectedList = true;
    std::vector<std::string> sids = {"S-1-5-18", "S-1-5-32-544"};
    if (!RunsElevated()) sids.push_back(OwnUserSid());
    for (const std::string& sid : sids)
        access.entries.insert("allow " + sid + " " + std::to_string(FILE_ALL_ACCESS) + " " + flags);
    return access;
}

bool IsHex(const std::string& text) {
    for (char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c)) || std::isupper(static_cast<unsigned char>(c))) return false;
    return !text.empty();
}

}  // namespace

TEST(PrivateFolder, FreshUnguessableFoldersThatGoWithEverythingInThem) {
    TempDir parent;
    std::set<std::string> seen;
    for (int i = 0; i < 2; ++i) {
        PrivateFolder folder;
        ASSERT_FALSE(folder.Create(parent.Path()).Failed());
        const std::string name = folder.Path().substr(parent.Path().size() + 1);
        EXPECT_EQ(name.substr(0, 6), "setup-") << name;
        EXPECT_EQ(name.size(), 6u + 16u) << name;
        EXPECT_TRUE(IsHex(name.substr(6))) << name;
        seen.insert(name);
        parent.Write(name + "\\inside\\deeper.txt", "x");
        SetFileAttributesA((folder.Path() + "\\inside\\deeper.txt").c_str(), FILE_ATTRIBUTE_READONLY);
        parent.Write(name + "\\copy.dll", "y");
    }
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_EQ(parent.Count(), 0u);  // each went with its object, contents and all

    // No parent: no folder, and the reason.
    PrivateFolder folder;
    const RunResult made = folder.Create(parent.Path("missing"));
    EXPECT_EQ(made.what, RunOutcome::kTempFolderFailed);
    EXPECT_EQ(folder.Path(), "");
    EXPECT_EQ(made.error, static_cast<uint32_t>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(parent.Count(), 0u);
}

TEST(PrivateFolder, OnlyAdministratorsAndSystemHaveAccessAndItCannotBeRenamed) {
    ASSERT_FALSE(OwnUserSid().empty());
    // Under Wine the program runs with an administrator's rights: no entry
    // for its user, and the high integrity label.
    EXPECT_TRUE(RunsElevated());
    EXPECT_NE(PrivateFolderSddl().find("S:(ML;OICI;NW;;;HI)"), std::string::npos) << PrivateFolderSddl();
    // The descriptor the folder is made with.
    PSECURITY_DESCRIPTOR asked = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(PrivateFolderSddl().c_str(), SDDL_REVISION_1,
                                                                     &asked, nullptr));
    const Access expected = Expected(std::to_string(OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE));
    const Access askedAccess = AccessOf(asked);
    LocalFree(asked);
    EXPECT_TRUE(askedAccess.protectedList);
    EXPECT_EQ(askedAccess.entries, expected.entries);

    // The descriptor the folder has, read back from the file system. Windows
    // keeps the one asked for. Wine does not: it turns it into the Unix
    // permissions of the folder and gives back an access list made from
    // them, not protected, with the Unix owner (the user) and SYSTEM
    // (Administrators dropped); there it grants no one else.
    TempDir parent;
    PrivateFolder folder;
    ASSERT_FALSE(folder.Create(parent.Path()).Failed());
    // Held open: it cannot be renamed while it is used.
    EXPECT_FALSE(MoveFileA(folder.Path().c_str(), parent.Path("renamed").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    PSECURITY_DESCRIPTOR stored = nullptr;
    ASSERT_EQ(GetNamedSecurityInfoA(folder.Path().c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                    nullptr, nullptr, nullptr, &stored),
              static_cast<DWORD>(ERROR_SUCCESS));
    const Access storedAccess = AccessOf(stored);
    LocalFree(stored);
    ASSERT_FALSE(storedAccess.entries.empty());
    const bool wine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
    const std::string owner = " " + OwnUserSid() + " ";
    for (const std::string& entry : storedAccess.entries)
        if (!wine || entry.find(owner) == std::string::npos)
            EXPECT_EQ(expected.entries.count(entry), 1u) << "granted beyond what was asked: " << entry;
    if (!wine) {
        EXPECT_TRUE(storedAccess.protectedList);
        EXPECT_EQ(storedAccess.entries, expected.entries);
    }
}

TEST(PrivateFolder, KeptFilesGetNamesNoOneHadBefore) {
    TempDir dir;
    std::string first, second;
    std::FILE* a = CreateFreshFile(dir.Path(), "UNINSTALL-", ".LOG", first);
    std::FILE* b = CreateFreshFile(dir.Path(), "UNINSTALL-", ".LOG", second);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    std::fputs("first", a);
    std::fclose(a);
    std::fclose(b);
    EXPECT_NE(first, second);
    const std::string name = first.substr(dir.Path().size() + 1);
    EXPECT_EQ(name.substr(0, 10), "UNINSTALL-");
    EXPECT_EQ(name.size(), 10u + 8u + 4u) << name;
    EXPECT_EQ(dir.Read(name), "first");
    std::string none;
    EXPECT_EQ(CreateFreshFile(dir.Path("missing"), "UNINSTALL-", ".LOG", none), nullptr);
}

// (A module of the same name loaded from elsewhere first is not taken in
// its place: the end-to-end scenarios check that, with a version.dll planted
// beside setup.exe that Wine's own user32 loads at start-up.)
TEST(SystemLibrary, LoadsTheSystemsCopyByItsPath) {
    SystemLibrary version("version.dll");
    ASSERT_TRUE(version.Loaded());
    char path[MAX_PATH], system[MAX_PATH];
    GetModuleFileNameA(version.Module(), path, MAX_PATH);
    GetSystemDirectoryA(system, MAX_PATH);
    EXPECT_EQ(lstrcmpiA(path, (std::string(system) + "\\version.dll").c_str()), 0) << path;
    EXPECT_NE(version.Function<FARPROC>("GetFileVersionInfoSizeA"), nullptr);
    EXPECT_EQ(version.Function<FARPROC>("NoSuchFunction"), nullptr);

    SystemLibrary missing("no-such-library.dll");
    EXPECT_FALSE(missing.Loaded());
    EXPECT_EQ(missing.Function<FARPROC>("Anything"), nullptr);
}
