#!/bin/sh
# scripts/check-release.sh refuses a PE32 program that imports version.dll
# statically, and passes the same program without that import.
#   check_release.sh <check-release.sh> <i686 C compiler> <work folder>
script="$1"
cc="$2"
work="$3"
mkdir -p "$work"
cat > "$work/uses_version.c" <<'END'
#include <windows.h>
int main(void) {
    DWORD handle;
#ifdef STATIC_VERSION
    return (int)GetFileVersionInfoSizeA("x", &handle);
#else
    return (int)GetTickCount() + (int)sizeof handle;
#endif
}
END
"$cc" -static -o "$work/plain.exe" "$work/uses_version.c" || exit 1
"$cc" -static -DSTATIC_VERSION -o "$work/uses_version.exe" "$work/uses_version.c" -lversion || exit 1
"$script" "$work/plain.exe" || { echo "check_release: the program without version.dll was refused"; exit 1; }
if out=$("$script" "$work/uses_version.exe"); then
    echo "check_release: a static import of version.dll passed: $out"
    exit 1
fi
echo "$out"
case "$out" in
*"imports version.dll, which is not a KnownDLL"*) exit 0 ;;
esac
echo "check_release: refused, but not for version.dll"
exit 1
