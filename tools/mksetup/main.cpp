// mksetup: the packaging tool's command line.
#include "tools/mksetup/mksetup.h"
#include "tools/mksetup/mksetup_files.h"

#include <cstdio>
#include <iostream>

#if defined(_WIN32)
#include "base/wide_text.h"

#include <windows.h>
#include <shellapi.h>
#include <fcntl.h>
#include <io.h>

#include <cwchar>
#define IsTerminal(fd) _isatty(fd)
#else
#include <unistd.h>
#define IsTerminal(fd) isatty(fd)
#endif

int main(int argc, char** argv) {
#if defined(_WIN32)
    // show writes the list's bytes as they are, CR LF included.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    RemoveTemporaryFileOnInterrupt();
#if defined(_WIN32)
    // The arguments as the system holds them, in UTF-8 as every path and name
    // of the tool: argv has them in the ANSI code page, where a name outside
    // it has become another name.
    (void)argc;
    (void)argv;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; wide && i < count; ++i) args.push_back(Narrow(wide[i], std::wcslen(wide[i])));
    LocalFree(wide);
#else
    const std::vector<std::string> args(argv + 1, argv + argc);
#endif
    return RunMksetup(args, std::cout, std::cerr, IsTerminal(2) != 0);
}
