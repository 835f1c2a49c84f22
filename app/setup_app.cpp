#include "app/setup_app.h"

#include "app/command_line.h"
#include "app/program_medium.h"
#include "app/sequence.h"
#include "app/uninstall_mode.h"
#include "app/wizard_texts.h"
#include "base/file_io.h"
#include "base/system_info.h"
#include "base/wide_text.h"
#include "engine/file_list_win.h"
#include "formats/medium_files.h"
#include "formats/scramble.h"
#include "formats/setup_sum.h"
#include "engine/run_report.h"
#include "engine/uninstall.h"
#include "fw/message_box.h"

#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// The command line as the system holds it, in UTF-16, split into arguments
// as the C runtime would and taken to UTF-8 exactly: a name outside the
// system's code page arrives as typed. |arguments| gets them, the program's
// path as invoked first.
CommandLine ProgramCommandLine(std::vector<std::string>& arguments) {
    const wchar_t* raw = GetCommandLineW();
    int count = 0;
    if (wchar_t** split = CommandLineToArgvW(raw, &count)) {
        for (int i = 0; i < count; ++i) arguments.push_back(Narrow(split[i], wcslen(split[i])));
        LocalFree(split);
    }
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    return ParseCommandLine(static_cast<int>(argv.size()), argv.data(), Narrow(raw, wcslen(raw)));
}

// Ends the program over a wrong command line: the box (unless /S) names
// |error| and what the line accepts.
int RefuseCommandLine(const CommandLine& line, const std::string& error) {
    if (!line.unattended)
        ShowMessageBox(nullptr, (error + "\n\n" + kCommandLineUsage).c_str(), "Error", MB_OK | MB_ICONERROR);
    return kExitCommandLine;
}

// What the box says when the program installs nothing.
std::string InstallsNothingText(const ProgramMedium& program) {
    if (program.kind == ProgramMedium::kUninstallerOnly)
        return program.programName +
               " removes an installed product and installs nothing.\nTo install the product, run the Setup program "
               "of its installation files.";
    return program.programName +
           " is signed but carries no installation files of its own, so it installs nothing.\nPlease get the "
           "product's complete installation files.";
}

}  // namespace

std::string PlainListName() {
    // "setup.lst" and its terminating zero, each byte XOR 0x5A, so the name
    // does not stand in the program file as plain text.
    static const unsigned char kObscured[10] = {0x29, 0x3F, 0x2E, 0x2F, 0x2A, 0x74, 0x36, 0x29, 0x2E, 0x5A};
    char name[10];
    for (int i = 0; i < 10; ++i) name[i] = static_cast<char>(kObscured[i] ^ 0x5A);
    return name;
}

BOOL CSetupApp::InitInstance() {
    m_nExitCode = Install();
    return FALSE;
}

int CSetupApp::Install() {
    std::vector<std::string> arguments;
    const CommandLine line = ProgramCommandLine(arguments);
    if (!line.error.empty()) return RefuseCommandLine(line, line.error);
    if (line.uninstall) return RunUninstallation(line, m_setup);

    // The medium: the program's own overlay, or the folder it lies in.
    const char* invocationPath = arguments.empty() ? nullptr : arguments[0].c_str();
    const ProgramMedium program = OpenProgramMedium(WelcomeTextPath(invocationPath), m_setup.medium);
    if (program.kind == ProgramMedium::kDamaged) {
        if (!line.unattended)
            ShowMessageBox(nullptr, DamagedDistributionText(program.programName).c_str(), "Error",
                           MB_OK | MB_ICONERROR);
        return kExitIncomplete;
    }
    if (program.kind == ProgramMedium::kUninstallerOnly || program.kind == ProgramMedium::kSignedBare) {
        if (!line.unattended)
            ShowMessageBox(nullptr, InstallsNothingText(program).c_str(), "Error", MB_OK | MB_ICONERROR);
        return kExitCommandLine;
    }

    if (program.kind != ProgramMedium::kSingleFile) {
        if (FILE* list = OpenFile(kFileListName, "rb")) {
            std::fclose(list);
        } else {
            std::string plainName = PlainListName();
            if (FILE* plain = OpenFile(plainName, "rt")) {
                // Preparing a medium: write the scrambled list and end, silently.
                const bool written = ScrambleCopy(plainName.c_str(), kFileListName);
                std::fclose(plain);
                return written ? kExitInstalled : kExitFailed;
            }
        }
    }

    // setup.sum, the list and the texts are read here once and checked;
    // nothing of them is read from the medium again.
    std::string damaged;
    Medium& medium = m_setup.medium;
    if (!medium.Load(damaged, program.kind == ProgramMedium::kSealedFolder ? &program.sumDigest : nullptr)) {
        if (!line.unattended)
            ShowMessageBox(nullptr, DamagedDistributionText(damaged).c_str(), "Error", MB_OK | MB_ICONERROR);
        return kExitIncomplete;
    }
    if (!medium.List().present ||
        !LoadFileList(nullptr, medium.List().bytes, nullptr, m_setup.list, m_setup.DefaultDestDir)) {
        if (!line.unattended)
            ShowMessageBox(nullptr, "One or more files missing, cannot continue installation", "Error",
                           MB_OK | MB_ICONERROR);
        return kExitIncomplete;
    }
    // The destination page opens with it, and an installation without
    // windows installs there, unless it would add fields to the list's lines.
    if (line.hasDestDir) {
        const std::string refusal = DestDirRefusal(line.destDir, m_setup.list.m_appDirSeparators);
        if (!refusal.empty()) return RefuseCommandLine(line, refusal);
        m_setup.DefaultDestDir = line.destDir;
    }

    // A single file started by a double click names its product itself;
    // a name on the command line still wins.
    CommandLine named = line;
    if (named.productName.empty()) named.productName = program.productName;
    // The uninstaller is the bare program the medium carries, or the running one.
    UninstallerSource uninstaller{named.productName, m_setup.list.m_strProductVersion, m_setup.list.m_strPublisher,
                                  ModulePath(), program.uninstaller, program.madeUninstaller};
    return RunInstallationSequence(named, uninstaller, m_setup);
}
