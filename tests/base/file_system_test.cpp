// Deleting a file only where no link leads: a plain file goes, wherever its
// path is as long as a product's may be.
#include "base/file_system.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

TEST(FileSystemTest, AFileThatNoLinkLeadsToIsDeletedAlsoBeyondMaxPath) {
    TempDir dir;
    // Three folders of 70 CJK characters: over MAX_PATH in all.
    std::string deep = dir.Path();
    std::string name;
    for (int i = 0; i < 35; ++i) name += "\xE8\xA3\xBD\xE5\x93\x81";  // 製品
    for (int level = 0; level < 3; ++level) {
        deep += "\\" + name;
        ASSERT_TRUE(MakeDirectory(deep)) << GetLastError();
    }
    const std::string file = deep + "\\a.txt";
    const HANDLE made = OpenPathHandle(file, GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(made, INVALID_HANDLE_VALUE);
    CloseHandle(made);
    EXPECT_TRUE(DeleteFileNotThroughLink(file)) << GetLastError();
    EXPECT_EQ(PathAttributes(file), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(RemoveDirectoryPath(deep)) << GetLastError();
    EXPECT_FALSE(DeleteFileNotThroughLink(file));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND)) << "a missing file counts as gone";
}
