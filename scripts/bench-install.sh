#!/bin/bash
# The unattended installation against NSIS's: makes a product of N files
# (real bytes of this machine: C headers from /usr/include and shared
# libraries from /usr/lib, 1 KB to 256 KB each, about 40 to a folder), packs it
# with `mksetup build` (a folder, and a single setup.exe) and with NSIS (zlib,
# amd64-unicode stub, silent), and installs each unattended RUNS times in one
# Wine prefix with a warm Wine server, through Wine's 64-bit loader and the
# x86_64 setup.exe. Prints the build time, the medium's size and the median
# installation time of each, and their ratios to NSIS's; then uninstalls ours
# and checks that nothing is left.
# It prints numbers; it does not pass or fail on them.
#
#   scripts/bench-install.sh N        N files (2000 by default)
#   scripts/bench-install.sh 1G       one file of 1 GB
#
# RUNS (3) sets the number of installations of each; BENCH_SETUP_EXE another
# x86_64 setup.exe to measure (an older build, say). Everything lives under
# out/bench (the product, both media, the prefix). NSIS is a dependency of
# this benchmark only: it is installed with apt-get when makensis is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
arg=${1:-2000}
runs=${RUNS:-3}
source scripts/env.sh

if ! command -v makensis >/dev/null; then
    echo "== installing NSIS (benchmark only)"
    sudo_=""
    [ "$(id -u)" = 0 ] || sudo_=sudo
    $sudo_ apt-get install -y nsis >/dev/null
fi

# The native mksetup and the x86_64 setup.exe.
for p in native win64; do
    cmake --preset "$p" >/dev/null
    cmake --build --preset "$p" >/dev/null
done
mksetup=$PWD/build/native/bin/mksetup
setup_exe=${BENCH_SETUP_EXE:-$PWD/build/win64/bin/setup.exe}  # another build to compare with
wine64=$(wine_for "$setup_exe")  # (not the 32-bit loader that Debian's wine prefers)

bench=$PWD/out/bench
work=$bench/$arg
product=$work/product   # the installed tree: dNNN/<file>
rm -rf "$work"
mkdir -p "$product"

now() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

echo "== making the product ($arg)"
list=$work/setup.lst
printf 'X;?PRGFDIR?\\Bench\r\n' > "$list"
if [ "$arg" = 1G ]; then
    # One file of 1 GB: shared libraries one after another until it is full.
    mkdir -p "$product/d000"
    big=$product/d000/big.bin
    find /usr/lib -type f -name '*.so*' -size +64k | sort | while read -r f; do
        cat "$f"
        [ "$(stat -c %s "$big")" -ge 1073741824 ] && break
    done > "$big" || true
    truncate -s 1073741824 "$big"
    printf 'F;d000\\big.bin;?APPDIR?\\d000\\big.bin\r\n' >> "$list"
    files=1
else
    files=$arg
    # Headers and libraries taken in turns, over and over when N is larger
    # than what the machine has.
    mapfile -t headers < <(find /usr/include -type f -size +1k -size -256k | sort)
    mapfile -t libs < <(find /usr/lib -type f -name '*.so*' -size +1k -size -256k | sort)
    for ((i = 0; i < files; i++)); do
        if ((i % 5 == 4)); then
            src=${libs[$(((i / 5) % ${#libs[@]}))]}
        else
            src=${headers[$(((i - i / 5) % ${#headers[@]}))]}
        fi
        dir=$(printf 'd%03d' $((i / 40)))
        name=$(printf 'f%05d_%s' "$i" "$(basename "$src")")
        mkdir -p "$product/$dir"
        cp "$src" "$product/$dir/$name"
        printf 'F;%s\\%s;?APPDIR?\\%s\\%s\r\n' "$dir" "$name" "$dir" "$name" >> "$list"
    done
fi
echo "   $(du -sb "$product" | cut -f1) bytes in $files files"

echo "== packing with mksetup"
t0=$(now)
"$mksetup" build "$list" "$product" "$work/ours" --setup-exe "$setup_exe" >/dev/null
ours_build=$(elapsed "$t0" "$(now)")
ours_size=$(du -sb "$work/ours" | cut -f1)
t0=$(now)
"$mksetup" build "$list" "$product" "$work/single" --setup-exe "$setup_exe" --single-file >/dev/null
single_build=$(elapsed "$t0" "$(now)")
single_size=$(du -sb "$work/single" | cut -f1)

echo "== packing with NSIS (zlib)"
cat > "$work/bench.nsi" <<EOF
Unicode true
Target amd64-unicode
SetCompressor zlib
SilentInstall silent
RequestExecutionLevel admin
Name "Bench"
OutFile "$work/nsis/setup-nsis.exe"
InstallDir "\$PROGRAMFILES64\\BenchNsis"
Section
  SetOutPath "\$INSTDIR"
  File /r "$product/*"
SectionEnd
EOF
mkdir -p "$work/nsis"
t0=$(now)
makensis -V1 "$work/bench.nsi" >/dev/null
nsis_build=$(elapsed "$t0" "$(now)")
nsis_size=$(du -sb "$work/nsis" | cut -f1)

echo "== the prefix (out/bench/wineprefix) and a warm Wine server"
export WINEPREFIX=$bench/wineprefix
[ -d "$WINEPREFIX" ] || WINEPREFIX=$WINEPREFIX boot_prefix
wineserver -p 2>/dev/null || true  # (one may be running already)
trap 'wineserver -k 2>/dev/null || true' EXIT
$SETUP_WINE cmd /c exit >/dev/null 2>&1 || true
drive_c=$WINEPREFIX/drive_c

# Each run installs into a folder of its own, made in no folder just emptied
# (ext4 then looks past the inodes deleted a moment ago for every file it
# creates), and they take turns at going first.
ours_times=()
single_times=()
nsis_times=()
rm -rf "$drive_c"/BenchOurs* "$drive_c"/BenchSingle* "$drive_c"/BenchNsis*
# (And the keys earlier runs registered for folders gone now.)
for name in Bench BenchSingle; do
    $SETUP_WINE reg delete "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$name" /f /reg:64 \
        >/dev/null 2>&1 || true
done
run_ours() {
    # setup.exe reads its distribution from the current directory.
    t0=$(now)
    (cd "$work/ours" && $wine64 setup.exe Bench /S "/D=C:\\BenchOurs$1") || echo "   setup.exe ended with $?"
    ours_times+=("$(elapsed "$t0" "$(now)")")
}
run_single() {
    t0=$(now)
    # (A product of its own name: the uninstaller checks the record of the
    # folder medium's last installation against its product's key.)
    $wine64 "$work/single/setup.exe" BenchSingle /S "/D=C:\\BenchSingle$1" || echo "   setup.exe (single file) ended with $?"
    single_times+=("$(elapsed "$t0" "$(now)")")
}
run_nsis() {
    t0=$(now)
    $wine64 "$work/nsis/setup-nsis.exe" /S "/D=C:\\BenchNsis$1" || echo "   NSIS ended with $?"
    nsis_times+=("$(elapsed "$t0" "$(now)")")
}
for ((r = 1; r <= runs; r++)); do
    if ((r % 2)); then
        run_ours "$r"
        run_single "$r"
        run_nsis "$r"
    else
        run_nsis "$r"
        run_single "$r"
        run_ours "$r"
    fi
    echo "   run $r: ours ${ours_times[-1]} s, single file ${single_times[-1]} s, NSIS ${nsis_times[-1]} s"
done
last=$drive_c/BenchOurs$runs
placed=$(find "$last" -type f | wc -l)
nsis_placed=$(find "$drive_c/BenchNsis$runs" -type f | wc -l)
diff -r "$product" "$drive_c/BenchNsis$runs" >/dev/null && nsis_same=same || nsis_same=DIFFERENT
same=same
for d in "$product"/*; do
    diff -r "$d" "$last/$(basename "$d")" >/dev/null || same=DIFFERENT
done

echo "== uninstalling ours"
t0=$(now)
$wine64 "$last/uninstall.exe" /uninstall /S || echo "   uninstall.exe ended with $?"
uninstall_time=$(elapsed "$t0" "$(now)")
left=$({ find "$last" 2>/dev/null || true; } | wc -l)
# The product's key in the registry's 64-bit view, where the x86_64 setup.exe
# wrote it (a 32-bit reg.exe would look in the other view and find nothing).
# The installations before the last one registered the same product: undoing
# the last one gives the key back its values, naming the one before.
location=$($SETUP_WINE reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Bench' \
    /v InstallLocation /reg:64 2>/dev/null | tr -d '\r' | awk '$1 == "InstallLocation" { print $3 }') || location=""
case "$location" in
"") key=gone ;;
"C:\\BenchOurs$runs") key="left, still naming C:\\BenchOurs$runs" ;;
*) key="restored to the installation before ($location)" ;;
esac

ours_median=$(median "${ours_times[@]}")
single_median=$(median "${single_times[@]}")
nsis_median=$(median "${nsis_times[@]}")
echo
echo "files: $files, $(du -sb "$product" | cut -f1) bytes"
printf '%-22s %10s %14s %18s\n' "" "build (s)" "medium (bytes)" "install median (s)"
printf '%-22s %10.2f %14d %18.2f\n' "mksetup + setup.exe" "$ours_build" "$ours_size" "$ours_median"
printf '%-22s %10.2f %14d %18.2f\n' "  as a single file" "$single_build" "$single_size" "$single_median"
printf '%-22s %10.2f %14d %18.2f\n' "NSIS zlib" "$nsis_build" "$nsis_size" "$nsis_median"
echo "install ratio (ours / NSIS): folder $(echo "scale=2; $ours_median / $nsis_median" | bc)," \
     "single file $(echo "scale=2; $single_median / $nsis_median" | bc)"
echo "runs: ours ${ours_times[*]}; single file ${single_times[*]}; NSIS ${nsis_times[*]}"
echo "placed: ours $placed files ($same), NSIS $nsis_placed files ($nsis_same)"
echo "uninstall: $uninstall_time s; left behind: $left entries in C:\\BenchOurs$runs, Uninstall key $key"
rm -rf "$drive_c"/BenchOurs* "$drive_c"/BenchSingle* "$drive_c"/BenchNsis*
