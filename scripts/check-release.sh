#!/bin/bash
# Checks the shipped setup.exe without running it: a PE32 image for i386 that
# imports only DLLs every Windows has, so it starts from a bare medium, and of
# those only KnownDLLs, which Windows always takes from the system directory:
# a DLL of any other name (version.dll, comctl32.dll, ...) imported statically
# would be looked for beside setup.exe first (Downloads) and loaded before the
# program can narrow the search. setup.exe loads those at run time from the
# system directory (engine/system_library.h).
#   scripts/check-release.sh build/win32/bin/setup.exe
set -euo pipefail
exe=${1:-build/win32/bin/setup.exe}
allowed="advapi32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll shell32.dll
         shlwapi.dll user32.dll"

format=$(i686-w64-mingw32-objdump -f "$exe" | sed -n 's/.*file format //p')
if [ "$format" != pei-i386 ]; then
    echo "$exe: file format $format, not a PE32 i386 image"
    exit 1
fi
imports=$(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
bad=0
for dll in $imports; do
    case " $(echo $allowed) " in
        *" $dll "*) ;;
        *) echo "$exe imports $dll, which is not a KnownDLL: load it from the system directory at run time"; bad=1 ;;
    esac
done
[ "$bad" -eq 0 ] || exit 1
echo "$exe: PE32 i386, imports only KnownDLLs ($(echo $imports))"
