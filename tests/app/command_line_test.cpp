#include "app/command_line.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

// Parses |rawLine| split at blanks, as the C runtime splits an unquoted line.
CommandLine Parse(const std::string& rawLine) {
    std::vector<std::string> args;
    std::istringstream words(rawLine);
    for (std::string word; words >> word;) args.push_back(word);
    std::vector<const char*> argv;
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    return ParseCommandLine(static_cast<int>(argv.size()), argv.data(), rawLine);
}

TEST(CommandLineTest, TheProductNameComesFirstAndIsNeverASwitch) {
    CommandLine line = Parse("setup.exe My*App /s");
    EXPECT_EQ(line.productName, "My App");
    EXPECT_TRUE(line.unattended);
    EXPECT_FALSE(line.hasDestDir);
    EXPECT_EQ(line.error, "");

    line = Parse("setup.exe /S");
    EXPECT_EQ(line.productName, "");
    EXPECT_TRUE(line.unattended);

    line = Parse("setup.exe Example extra");  // further plain arguments are ignored, as ever
    EXPECT_EQ(line.productName, "Example");
    EXPECT_FALSE(line.unattended);
    EXPECT_EQ(line.error, "");
}

TEST(CommandLineTest, TheDestinationIsTheRestOfTheLineAsTyped) {
    CommandLine line = Parse("\"C:\\cd\\setup.exe\" Example /S /D=C:\\Some Dir\\With  Blanks  ");
    EXPECT_TRUE(line.unattended);
    ASSERT_TRUE(line.hasDestDir);
    EXPECT_EQ(line.destDir, "C:\\Some Dir\\With  Blanks");
    EXPECT_EQ(line.error, "");

    // Switches that follow /D= are part of the directory; quotes are dropped.
    line = Parse("setup.exe /d=\"\\\\server\\share\\A /S\"");
    EXPECT_EQ(line.productName, "");
    EXPECT_FALSE(line.unattended);
    EXPECT_EQ(line.destDir, "\\\\server\\share\\A /S");
    EXPECT_EQ(line.error, "");

    // "/D=" inside the product name is not the switch.
    line = Parse("setup.exe X/D=Y /D=D:\\Apps");
    EXPECT_EQ(line.productName, "X/D=Y");
    EXPECT_EQ(line.destDir, "D:\\Apps");
}

TEST(CommandLineTest, UnknownSwitchesAndRelativeDestinationsAreErrors) {
    CommandLine line = Parse("setup.exe Example /X /S");
    EXPECT_EQ(line.error, "Unknown switch: /X");
    EXPECT_TRUE(line.unattended);  // known for the rest of the line: no box then

    for (const char* raw : {"setup.exe /S /D=Apps\\Example", "setup.exe /S /D=C:Example", "setup.exe /S /D=\\Example",
                            "setup.exe /S /D=", "setup.exe /S /D=C:", "setup.exe /S /D=\\\\server",
                            "setup.exe /S /D=\\\\server\\"}) {
        line = Parse(raw);
        EXPECT_EQ(line.error.rfind("The destination directory must be a full path: ", 0), 0u) << raw;
        EXPECT_TRUE(line.hasDestDir) << raw;
    }
    // A separator of the list's lines would add fields to them.
    EXPECT_EQ(DestDirRefusal("C:\\Games\\a;b;c", "|;"),
              "The destination directory must not hold \";\", which this product's file list uses between fields: "
              "C:\\Games\\a;b;c");
    EXPECT_EQ(DestDirRefusal("C:\\Games\\a;b;c", "|"), "");
    EXPECT_EQ(DestDirRefusal("C:\\Games\\a;b;c"), "");
}

}  // namespace

namespace {

TEST(CommandLineTest, UninstallIsASwitchInAnyCaseAndKeepsTheDirectory) {
    CommandLine line = Parse("uninstall.exe /Uninstall /S /D=C:\\Program Files\\Example");
    EXPECT_TRUE(line.uninstall);
    EXPECT_TRUE(line.unattended);
    EXPECT_EQ(line.productName, "");  // never taken for the product name
    EXPECT_EQ(line.destDir, "C:\\Program Files\\Example");
    EXPECT_EQ(line.error, "");

    EXPECT_FALSE(Parse("setup.exe Example /S").uninstall);
    EXPECT_EQ(Parse("setup.exe Example /uninstal").error, "Unknown switch: /uninstal");
}

}  // namespace
