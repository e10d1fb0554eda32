#!/usr/bin/env bash
# Installs what building and testing need and is missing (Debian 12, tools/packages.txt),
# builds the tools and scans the bundled example image. Without root it uses sudo when
# there is one that can ask for a password (or needs none); otherwise it prints the
# command for an administrator and stops.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t wanted < <(grep -v '^\s*#' tools/packages.txt | grep -v '^\s*$')
missing=()
for package in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if ((${#missing[@]})); then
    echo "Missing: ${missing[*]}"
    if [[ $(id -u) -eq 0 ]]; then
        sudo_cmd=()
    elif command -v sudo >/dev/null && { sudo -n true 2>/dev/null || [[ -t 0 ]]; }; then
        sudo_cmd=(sudo)
    else
        echo "This needs root to install them. Ask an administrator to run:" >&2
        echo "    apt-get update && apt-get install ${missing[*]}" >&2
        echo "then run tools/setup.sh again." >&2
        exit 1
    fi
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi

cmake --workflow --preset release
echo
./build/release/src/cli/veskari-scan examples/example.rom
