// mksetup: the packaging tool's command line.
#include "tools/mksetup/mksetup.h"
#include "tools/mksetup/mksetup_files.h"

#include <cstdio>
#include <iostream>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
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
    const std::vector<std::string> args(argv + 1, argv + argc);
    return RunMksetup(args, std::cout, std::cerr, IsTerminal(2) != 0);
}
