// The box about files in use, and which files count as in use.
#include "engine/files_in_use.h"

#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <string>
#include <vector>

namespace {

const char kButtons[] = "\n\nClose the programs and choose Try Again.\nContinue replaces the files when Windows "
                        "restarts;\nCancel stops Setup without changing anything.";

std::vector<std::string> Numbered(const std::string& prefix, int count) {
    std::vector<std::string> names;
    for (int i = 1; i <= count; ++i) names.push_back(prefix + std::to_string(i));
    return names;
}

}  // namespace

TEST(FilesInUseText, NamesTheProgramsOrElseTheFilesAtMostTenThenHowManyMore) {
    EXPECT_EQ(FilesInUseText({"Example Viewer", "Editor"}, {"C:\\App\\a.dll"}),
              std::string("Setup must replace files that these programs use:\n\nExample Viewer\nEditor") + kButtons);
    EXPECT_EQ(FilesInUseText({}, {"C:\\App\\a.dll", "C:\\App\\b.exe"}),
              std::string("These files are in use by another program and cannot be replaced now:\n\nC:\\App\\a.dll\n"
                          "C:\\App\\b.exe") +
                  kButtons);

    const std::string ten = FilesInUseText({}, Numbered("file", 10));
    EXPECT_NE(ten.find("\nfile10\n\n"), std::string::npos) << ten;
    EXPECT_EQ(ten.find("more"), std::string::npos) << ten;
    const std::string twelve = FilesInUseText(Numbered("program", 12), Numbered("file", 12));
    EXPECT_NE(twelve.find("\nprogram10\nand 2 more\n\n"), std::string::npos) << twelve;
    EXPECT_EQ(twelve.find("program11"), std::string::npos) << twelve;
    EXPECT_EQ(twelve.find("\nfile"), std::string::npos) << twelve;
}

#ifdef _WIN32
// In use: what another program holds open; not what is merely missing or
// read-only.
TEST(FileInUse, AFileHeldOpenIsInUseAMissingOrReadOnlyOneIsNot) {
    TempDir dir;
    dir.Write("a.txt", "a");
    dir.Write("read-only.txt", "r");
    const std::string file = dir.Path("a.txt"), readOnly = dir.Path("read-only.txt");
    ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(FileInUse(dir.Path("missing.txt")));
    EXPECT_FALSE(FileInUse(dir.Path("missing\\a.txt")));
    EXPECT_FALSE(FileInUse(file));
    EXPECT_FALSE(FileInUse(readOnly));
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);

    // Held at all, even sharing everything: replacing it now may fail, and
    // a program that reads its file while it runs expects it to stay.
    for (const DWORD share : {DWORD(0), DWORD(FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)}) {
        const HANDLE held =
            CreateFileA(file.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        EXPECT_TRUE(FileInUse(file)) << "share mode " << share;
        CloseHandle(held);
    }
    EXPECT_FALSE(FileInUse(file));
    EXPECT_EQ(dir.Read("a.txt"), "a");
}
#endif
