#!/bin/bash
# Checks the shipped setup.exe without running it: a PE32 image for i386 that
# imports only DLLs every Windows has, so it starts from a bare medium.
#   scripts/check-release.sh build/win32/bin/setup.exe
set -euo pipefail
exe=${1:-build/win32/bin/setup.exe}
allowed="advapi32.dll comctl32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll shell32.dll
         shlwapi.dll user32.dll version.dll"

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
        *) echo "$exe imports $dll, which is not a system DLL"; bad=1 ;;
    esac
done
[ "$bad" -eq 0 ] || exit 1
echo "$exe: PE32 i386, imports only system DLLs ($(echo $imports))"
