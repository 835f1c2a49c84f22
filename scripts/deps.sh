#!/bin/bash
# Installs what building and testing need on Debian 12, only what is missing.
# Safe to run again. Needs root (or sudo) the first time. Packages named as
# arguments are installed too: scripts/deps.sh qemu-user-static
set -euo pipefail

packages=(cmake ninja-build g++ googletest g++-mingw-w64-i686 g++-mingw-w64-x86-64
          wine wine64 wine32:i386 fonts-wine xvfb x11-utils imagemagick clang libclang-rt-14-dev
          osslsigncode openssl libssl-dev locales)

# The locales the text tests start Wine under (LANG sets the ANSI code page
# of a Windows program: en_US 1252, ja_JP 932, el_GR 1253).
locales=(en_US.UTF-8 ja_JP.UTF-8 el_GR.UTF-8)

packages+=("$@")
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
if [ ${#missing[@]} -gt 0 ]; then
    echo "deps: installing ${missing[*]}"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $SUDO dpkg --add-architecture i386
    fi
    # A mirror being synced answers with index files of the wrong size for a
    # while: tried again, and installing goes on with what was fetched.
    for attempt in 1 2 3 4 5; do
        $SUDO apt-get update -qq && break
        [ "$attempt" -lt 5 ] || break
        echo "deps: apt-get update failed (attempt $attempt), trying again"
        sleep $((attempt * 10))
    done
    if ! DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; then
        # Without a usable i386 index (seen while a mirror was being synced)
        # Wine's 32-bit half cannot be installed: everything else is, and
        # scripts/test.sh then counts the suites that need it as skipped.
        rest=()
        for p in "${missing[@]}"; do [ "$p" = wine32:i386 ] || rest+=("$p"); done
        [ ${#rest[@]} -lt ${#missing[@]} ] || exit 1
        echo "deps: WARNING: wine32:i386 cannot be installed from the package sources now; installing the rest"
        DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${rest[@]}" >/dev/null
    fi
fi

# `locale -a` names them in lower case without the hyphen (en_US.utf8).
ungenerated=()
for l in "${locales[@]}"; do
    locale -a | grep -qix "${l%%.*}.utf-\?8" || ungenerated+=("$l")
done
if [ ${#ungenerated[@]} -gt 0 ]; then
    echo "deps: generating the locales ${ungenerated[*]}"
    for l in "${ungenerated[@]}"; do
        $SUDO sed -i "s/^# *\($l UTF-8\)/\1/" /etc/locale.gen
        grep -qx "$l UTF-8" /etc/locale.gen || echo "$l UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
    done
    $SUDO locale-gen >/dev/null
fi
