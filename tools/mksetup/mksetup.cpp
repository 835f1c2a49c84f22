#include "tools/mksetup/mksetup.h"
#include "tools/mksetup/mksetup_files.h"

#include "res/version.h"
#include "tools/mksetup/command.h"

#include <filesystem>
#include <ostream>

namespace fs = std::filesystem;

namespace {

const char kUsage[] =
    "usage: mksetup COMMAND ARGUMENTS\n"
    "\n"
    "  build LIST SOURCE_DIR OUT_DIR [--setup-exe PATH] [--sign COMMAND]\n"
    "        [--single-file [--product-name NAME]] [--codec lzhuf|lzma|lz4] [--solid]\n"
    "        [--list-codepage N] [--product-version VERSION] [--publisher NAME]\n"
    "      Checks the plain file list LIST, compresses every F source found in\n"
    "      SOURCE_DIR into OUT_DIR under the same name, writes OUT_DIR/setup.drc\n"
    "      (the scrambled list), copies Setup2.txt and terms.txt from beside LIST\n"
    "      when they are there, and PATH (an unsigned setup.exe) as\n"
    "      OUT_DIR/setup.exe when given, carrying the SHA-256 of setup.sum.\n"
    "      OUT_DIR/setup.sum holds the size and SHA-256 of setup.drc, the texts\n"
    "      and each file as it is before compression and as packed, which\n"
    "      setup.exe checks (the packed bytes before it decodes them).\n"
    "      --single-file writes OUT_DIR/setup.exe alone instead: PATH with all of\n"
    "      these files, the product NAME and itself as the uninstaller appended.\n"
    "      --sign runs COMMAND through the shell on setup.exe in OUT_DIR (with\n"
    "      --single-file first on the uninstaller, then on the whole file), with\n"
    "      each {} replaced by its quoted path; the build fails when COMMAND\n"
    "      fails or leaves no signed PE file. --codec chooses the compression:\n"
    "      lzhuf (the default, read by every setup.exe), lzma (smaller) or lz4\n"
    "      (larger, the fastest to install); an older setup.exe without the\n"
    "      codec refuses its payloads as damaged. --solid (LZMA) compresses the\n"
    "      files of up to 32 MB together, in blocks of up to 32 MB in list\n"
    "      order (OUT_DIR/setup.s01, ...): a smaller medium, decoded on one\n"
    "      thread a block at a time.\n"
    "      LIST and the texts are UTF-8 (a byte order mark is allowed); with\n"
    "      --list-codepage N they are read in the Windows code page N instead\n"
    "      (932, 936, 949, 950, 1250 to 1258). A list with more than ASCII gets\n"
    "      the line U;UTF-8 first (an older setup.exe refuses it).\n"
    "      --product-version and --publisher add the lines V;VERSION and\n"
    "      P;NAME, which setup.exe shows in Add/Remove Programs as the product's\n"
    "      DisplayVersion and Publisher (an older setup.exe refuses the medium).\n"
    "  check LIST [SOURCE_DIR] [--list-codepage N]\n"
    "      Reports errors and warnings as LIST:LINE: message; with SOURCE_DIR also\n"
    "      every F source that is not there.\n"
    "  verify DIR|FILE     Checks setup.drc, the texts and every packed file of\n"
    "      the distribution folder DIR against DIR/setup.sum, and setup.sum\n"
    "      against the digest its setup.exe carries; or all that in the\n"
    "      single-file setup.exe FILE.\n"
    "  unpack FILE OUT_DIR Writes the files stored in the single-file setup.exe\n"
    "      FILE into OUT_DIR, the uninstaller as uninstall.exe.\n"
    "  compress IN OUT [--codec lzhuf|lzma|lz4]\n"
    "                      Compresses the file IN into OUT (lzhuf by default).\n"
    "  expand IN OUT       Expands the compressed file IN (any codec) into OUT.\n"
    "  show FILE           Writes the plain list of a setup.drc to standard output.\n"
    "  --help              Shows this text.\n"
    "  --version           Shows the version.\n"
    "\n"
    "Exit status: 0 done, 1 errors found or a command failed, 2 wrong usage.\n";

struct Command {
    const char* name;
    int (*run)(const CommandArgs& args, std::ostream& out, std::ostream& err, bool terminal);
};

const Command kCommands[] = {
    {"build", BuildCommand},     {"check", CheckCommand},   {"compress", CompressCommand}, {"expand", ExpandCommand},
    {"show", ShowCommand},       {"verify", VerifyCommand}, {"unpack", UnpackCommand},
};

int RunCommand(const CommandArgs& args, std::ostream& out, std::ostream& err, bool terminal) {
    if (args.empty())
        return Usage(err, "no command given");
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        out << kUsage;
        return kExitOk;
    }
    if (command == "--version") {
        out << "mksetup " SETUP_VERSION_TEXT "\n";
        return kExitOk;
    }
    for (const Command& known : kCommands)
        if (command == known.name)
            return known.run(args, out, err, terminal);
    return Usage(err, "unknown command " + command);
}

}  // namespace

int Usage(std::ostream& err, const std::string& problem) {
    PrintError(err, problem + "\n");
    err << kUsage;
    return kExitUsage;
}

int RunMksetup(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool terminal) {
    // Every file-system error is a message, whichever call meets it.
    try {
        return RunCommand(args, out, err, terminal);
    } catch (const fs::filesystem_error& e) {
        PrintError(err, (e.path1().empty() ? std::string() : Utf8Of(e.path1()) + ": ") + e.code().message());
    } catch (const std::exception& e) {
        PrintError(err, e.what());
    }
    return kExitFailed;
}
