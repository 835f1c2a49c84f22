#!/bin/bash
# The unattended installation against NSIS's: makes a product of real bytes
# of this machine (C headers from /usr/include and shared libraries from
# /usr/lib, about 40 files to a folder), packs it with `mksetup build` once
# per codec of ours (a folder, and a single setup.exe) and with NSIS (zlib,
# and solid lzma; amd64-unicode stub, silent), and installs each unattended
# RUNS times in one Wine prefix with a warm Wine server, through Wine's 64-bit
# loader and the x86_64 setup.exe, the installers taking turns (each run
# starts with the next one, after a sync). Prints the load, the build time, the medium's
# size and the median installation time of each, their ratios to NSIS zlib's,
# and where each installation's time went (its own CPU time and the Wine
# server's); then uninstalls ours and checks that nothing is left.
# It prints numbers; it does not pass or fail on them.
#
#   scripts/bench-install.sh N        N files of 1 KB to 256 KB (2000 by default)
#   scripts/bench-install.sh SIZEM    2,000 files at their full sizes, SIZE MB in
#                                     all (97M: 97 MB in 50 folders)
#   scripts/bench-install.sh 1G       one file of 1 GB
#
# RUNS (5) sets the number of installations of each; CODECS ("lzhuf lzma
# lzma-solid lz4") the codecs of ours (lzma-solid: --codec lzma --solid);
# BENCH_SETUP_EXE another x86_64 setup.exe to measure (an older build, say). Everything lives under out/bench (the product, the media,
# the prefix). NSIS is a dependency of this benchmark only: it is installed
# with apt-get when makensis is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
arg=${1:-2000}
runs=${RUNS:-5}
codecs=(${CODECS:-lzhuf lzma lzma-solid lz4})
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
load() { uptime | sed 's/.*load average: //'; }

echo "== load before: $(load)"
echo "== making the product ($arg)"
list=$work/setup.lst
printf 'X;?PRGFDIR?\\Bench\r\n' > "$list"
add_file() {  # add_file INDEX SOURCE
    local dir name
    dir=$(printf 'd%03d' $(($1 / 40)))
    name=$(printf 'f%05d_%s' "$1" "$(basename "$2")")
    mkdir -p "$product/$dir"
    cp "$2" "$product/$dir/$name"
    printf 'F;%s\\%s;?APPDIR?\\%s\\%s\r\n' "$dir" "$name" "$dir" "$name" >> "$list"
}
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
elif [[ "$arg" =~ ^([0-9]+)M$ ]]; then
    # 2,000 files at their full sizes: a header, or a library (up to 8 MB)
    # whenever the bytes so far are behind SIZE MB spread evenly, so that
    # they add up to SIZE MB on any machine with enough of them.
    files=2000
    target=$((BASH_REMATCH[1] * 1000000))
    mapfile -t headers < <(find /usr/include -type f -size +1k | sort)
    mapfile -t libs < <(find /usr/lib -type f -name '*.so*' -size +1k -size -8M | sort)
    total=0 h=0 l=0
    for ((i = 0; i < files; i++)); do
        if ((total * files < target * (i + 1))); then
            src=${libs[$((l++ % ${#libs[@]}))]}
        else
            src=${headers[$((h++ % ${#headers[@]}))]}
        fi
        add_file "$i" "$src"
        total=$((total + $(stat -c %s "$src")))
    done
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
        add_file "$i" "$src"
    done
fi
product_bytes=$(du -sb "$product" | cut -f1)
echo "   $product_bytes bytes in $files files, $(find "$product" -mindepth 1 -type d | wc -l) folders"

# The installers: a name, the medium's folder, the build time and how to run one.
names=() media=() builds=() kinds=()
for codec in "${codecs[@]}"; do
    for kind in folder single; do
        echo "== packing with mksetup ($codec, $kind)"
        out=$work/$codec-$kind
        extra=(--codec "${codec%-solid}")
        [ "$kind" = single ] && extra+=(--single-file)
        [ "$codec" != "${codec%-solid}" ] && extra+=(--solid)
        t0=$(now)
        "$mksetup" build "$list" "$product" "$out" --setup-exe "$setup_exe" "${extra[@]}" >/dev/null
        names+=("ours $codec$([ "$kind" = single ] && echo ', one file' || true)")
        media+=("$out") builds+=("$(elapsed "$t0" "$(now)")") kinds+=("$kind")
    done
done
for compressor in zlib lzma; do
    echo "== packing with NSIS ($compressor$([ $compressor = lzma ] && echo ', solid' || true))"
    out=$work/nsis-$compressor
    mkdir -p "$out"
    cat > "$work/nsis-$compressor.nsi" <<EOF
Unicode true
Target amd64-unicode
SetCompressor $([ $compressor = lzma ] && echo "/SOLID lzma" || echo zlib)
SilentInstall silent
RequestExecutionLevel admin
Name "Bench"
OutFile "$out/setup-nsis.exe"
InstallDir "\$PROGRAMFILES64\\BenchNsis"
Section
  SetOutPath "\$INSTDIR"
  File /r "$product/*"
SectionEnd
EOF
    t0=$(now)
    makensis -V1 "$work/nsis-$compressor.nsi" >/dev/null
    names+=("NSIS $compressor$([ $compressor = lzma ] && echo ' (solid)' || true)")
    media+=("$out") builds+=("$(elapsed "$t0" "$(now)")") kinds+=(nsis)
done
count=${#names[@]}

echo "== the prefix (out/bench/wineprefix) and a warm Wine server"
export WINEPREFIX=$bench/wineprefix
[ -d "$WINEPREFIX" ] || WINEPREFIX=$WINEPREFIX boot_prefix
wineserver -p 2>/dev/null || true  # (one may be running already)
trap 'wineserver -k 2>/dev/null || true' EXIT
$SETUP_WINE cmd /c exit >/dev/null 2>&1 || true
drive_c=$WINEPREFIX/drive_c
# This prefix's server (other prefixes may have theirs running): it works in
# a folder named for the prefix's device and inode.
server_dir=$(printf 'server-%x-%x' $(stat -c '%d %i' "$WINEPREFIX"))
server_pid=""
for pid in $(pgrep -x 'wineserver(64)?' || true); do
    [ "$(basename "$(readlink "/proc/$pid/cwd" 2>/dev/null)")" = "$server_dir" ] && server_pid=$pid
done
[ -n "$server_pid" ] || echo "   (the Wine server of the prefix is not found: its CPU time shows as others')"
# CPU seconds (user + system) the Wine server has used so far.
server_cpu() {
    [ -n "$server_pid" ] && [ -r "/proc/$server_pid/stat" ] || { echo 0; return; }
    awk -v hz="$(getconf CLK_TCK)" '{ print ($14 + $15) / hz }' "/proc/$server_pid/stat"
}

# Each run installs into a folder of its own, made in no folder just emptied
# (ext4 then looks past the inodes deleted a moment ago for every file it
# creates).
rm -rf "$drive_c"/Bench[0-9]*
for ((k = 0; k < count; k++)); do
    $SETUP_WINE reg delete "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Bench$k" /f /reg:64 \
        >/dev/null 2>&1 || true
done
# CPU seconds all processors have been busy so far (user, nice, system,
# interrupts): what the machine's other work took shows beside the installer's.
busy_cpu() { awk -v hz="$(getconf CLK_TCK)" '$1 == "cpu" { print ($2 + $3 + $4 + $7 + $8) / hz }' /proc/stat; }
# Data written and not yet on disk (MB): the kernel writes it back meanwhile.
dirty_mb() { awk '$1 == "Dirty:" || $1 == "Writeback:" { kb += $2 } END { printf "%d", kb / 1024 }' /proc/meminfo; }
declare -A times cpu server others dirty
launch() {  # launch INSTALLER DESTINATION
    local k=$1
    case ${kinds[$k]} in
    folder) (cd "${media[$k]}" && $wine64 setup.exe "Bench$k" /S "/D=$2") ;;
    single) $wine64 "${media[$k]}/setup.exe" "Bench$k" /S "/D=$2" ;;
    nsis) $wine64 "${media[$k]}/setup-nsis.exe" /S "/D=$2" ;;
    esac || echo "   ${names[$k]} ended with $?"
}
run_one() {  # run_one INSTALLER RUN
    local k=$1 r=$2 t0 s0 b0 timed=$work/time.txt
    # What the run before wrote goes to disk first: written back during this
    # run, it would slow whichever installer runs next (that, not the
    # installer, made single runs of the same setup.exe take 1.0 to 3.5 s).
    sync
    dirty[$k,$r]=$(dirty_mb)
    s0=$(server_cpu)
    b0=$(busy_cpu)
    t0=$(now)
    # The installation's own CPU time (user, system), as bash's time reports it.
    { TIMEFORMAT='%U %S'; time launch "$k" "C:\\Bench$k-$r" 2>&3; } 3>&2 2>"$timed"
    times[$k,$r]=$(elapsed "$t0" "$(now)")
    cpu[$k,$r]=$(tail -1 "$timed" | awk '{ print $1 + $2 }')
    server[$k,$r]=$(elapsed "$s0" "$(server_cpu)")
    others[$k,$r]=$(echo "$(busy_cpu) - $b0 - ${cpu[$k,$r]} - ${server[$k,$r]}" | bc)
}
for ((r = 1; r <= runs; r++)); do
    for ((j = 0; j < count; j++)); do
        run_one $(((r - 1 + j) % count)) "$r"
    done
    printf '   run %d (load %s):' "$r" "$(load)"
    for ((k = 0; k < count; k++)); do printf ' %s %s s;' "${names[$k]}" "${times[$k,$r]}"; done
    echo
    for ((k = 0; k < count; k++)); do
        printf '      %-22s wall %6.2f s, own CPU %5.2f s, server %5.2f s, others %5.2f s, unwritten before %4d MB\n' \
            "${names[$k]}" "${times[$k,$r]}" "${cpu[$k,$r]}" "${server[$k,$r]}" "${others[$k,$r]}" "${dirty[$k,$r]}"
    done
done

echo "== checking what was placed, and uninstalling ours"
checks=()
for ((k = 0; k < count; k++)); do
    placed=$(find "$drive_c/Bench$k-$runs" -type f | wc -l)
    same=same
    for d in "$product"/*; do
        diff -r "$d" "$drive_c/Bench$k-$runs/$(basename "$d")" >/dev/null || same=DIFFERENT
    done
    checks+=("$placed files ($same)")
done
last=$drive_c/Bench0-$runs
t0=$(now)
$wine64 "$last/uninstall.exe" /uninstall /S || echo "   uninstall.exe ended with $?"
uninstall_time=$(elapsed "$t0" "$(now)")
left=$({ find "$last" 2>/dev/null || true; } | wc -l)

echo
echo "product: $files files, $product_bytes bytes; $runs runs each, in turns; load after: $(load)"
printf '%-24s %9s %14s %12s %9s %10s %10s\n' "" "build (s)" "medium (bytes)" "install (s)" "/ NSIS zlib" "CPU (s)" "server (s)"
nsis_zlib=$((count - 2))
zlib_median=$(median $(for ((r = 1; r <= runs; r++)); do echo "${times[$nsis_zlib,$r]}"; done))
for ((k = 0; k < count; k++)); do
    t=() c=() s=()
    for ((r = 1; r <= runs; r++)); do t+=("${times[$k,$r]}") c+=("${cpu[$k,$r]}") s+=("${server[$k,$r]}"); done
    m=$(median "${t[@]}")
    printf '%-24s %9.2f %14d %12.2f %9.2f %10.2f %10.2f\n' "${names[$k]}" "${builds[$k]}" \
        "$(du -sb "${media[$k]}" | cut -f1)" "$m" "$(echo "scale=3; $m / $zlib_median" | bc)" \
        "$(median "${c[@]}")" "$(median "${s[@]}")"
done
echo "install: median wall time; CPU: the installer's own user + system time (median); server: the Wine server's;"
echo "others (per run above): what the rest of the machine took meanwhile (other processes, the kernel writing back)"
for ((k = 0; k < count; k++)); do
    printf '%s runs:' "${names[$k]}"
    for ((r = 1; r <= runs; r++)); do printf ' %s' "${times[$k,$r]}"; done
    echo "; placed ${checks[$k]}"
done
echo "uninstall (${names[0]}): $uninstall_time s; left behind: $left entries in C:\\Bench0-$runs"
rm -rf "$drive_c"/Bench[0-9]*
