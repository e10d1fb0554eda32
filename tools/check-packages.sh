#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
#
# Makes the Debian packages (cmake --workflow --preset package) and checks them as a
# distribution would: a second build of the same commit in a clone at another path gives
# the same bytes; lintian finds nothing; each package holds what it should and depends on
# what it should; apt can install both on Debian 12; the desktop entry and the metainfo
# pass their validators; appstreamcli compose over the unpacked files accepts the
# component with its icons; and the unpacked programs run.
# Usage: tools/check-packages.sh   (needs the packages of tools/packages.txt and tools/ci-packages.txt)
set -euo pipefail
cd "$(dirname "$0")/.."

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs the package workflow in a source tree, quietly unless it fails.
make_packages() {
    rm -rf "$1/build/package"
    if ! (cd "$1" && cmake --workflow --preset package) >"$work/build.log" 2>&1; then
        cat "$work/build.log"
        echo "FAIL: cmake --workflow --preset package in $1"
        exit 1
    fi
}

make_packages .
debs=(build/package/packages/*.deb)
version=$(dpkg-deb -f build/package/packages/veskari-scan_*.deb Version)
echo "made ${debs[*]}"

# Reproducible: the same commit, checked out afresh elsewhere (other path, other file
# times), must give the same bytes. Edits that are not committed would differ by right.
if [[ -n $(git status --porcelain --untracked-files=no) ]]; then
    echo "skipped the second build: the work tree has changes that are not committed"
else
    git clone --quiet --no-checkout . "$work/clone"
    git -C "$work/clone" checkout --quiet --detach "$(git rev-parse HEAD)"
    make_packages "$work/clone"
    for deb in "${debs[@]}"; do
        if cmp -s "$deb" "$work/clone/$deb"; then
            echo "reproduced $deb"
        else
            fail "a second build gives another $deb"
            diff <(dpkg-deb -c "$deb") <(dpkg-deb -c "$work/clone/$deb") || true
        fi
    done
fi

if report=$(lintian --fail-on error,warning --info "${debs[@]}" 2>&1); then
    grep -v '^running with root' <<<"$report" || true
else
    fail "lintian: $report"
fi

# Each package unpacked into its own fresh root.
for deb in "${debs[@]}"; do
    package=$(dpkg-deb -f "$deb" Package)
    dpkg-deb -x "$deb" "$work/$package"
done
expect() {
    local root=$1
    shift
    for path in "$@"; do
        [[ -e $work/$root/$path ]] || fail "package $root lacks $path"
    done
}
expect veskari-scan usr/bin/veskari-scan usr/share/man/man1/veskari-scan.1.gz \
    usr/share/bash-completion/completions/veskari-scan usr/share/zsh/vendor-completions/_veskari-scan \
    usr/share/fish/vendor_completions.d/veskari-scan.fish usr/share/doc/veskari-scan/copyright \
    usr/share/doc/veskari-scan/changelog.Debian.gz usr/share/doc/veskari-scan/cli.md.gz
expect veskari usr/bin/veskari usr/share/man/man1/veskari.1.gz usr/share/doc/veskari/copyright \
    usr/share/doc/veskari/changelog.Debian.gz usr/share/applications/org.veskari.veskari.desktop \
    usr/share/metainfo/org.veskari.veskari.metainfo.xml usr/share/icons/hicolor/scalable/apps/org.veskari.veskari.svg
for size in 16 24 32 48 64 128 256; do
    expect veskari usr/share/icons/hicolor/${size}x$size/apps/org.veskari.veskari.png
done
depends=$(dpkg-deb -f build/package/packages/veskari-scan_*.deb Depends)
[[ $depends == *libstdc++6* && $depends != *qt* ]] || fail "veskari-scan depends on: $depends"
depends=$(dpkg-deb -f build/package/packages/veskari_*.deb Depends)
[[ $depends == *"veskari-scan (= $version)"* && $depends == *libqt6widgets6* ]] || fail "veskari depends on: $depends"
apt-get install --simulate --quiet=2 "${debs[@]/#/./}" >/dev/null || fail "apt cannot install ${debs[*]}"

desktop=$work/veskari/usr/share/applications/org.veskari.veskari.desktop
report=$(desktop-file-validate "$desktop" 2>&1) && [[ -z $report ]] || fail "desktop-file-validate: $report"
report=$(appstreamcli validate --pedantic --no-net "$work/veskari/usr/share/metainfo/org.veskari.veskari.metainfo.xml" 2>&1) &&
    ! grep -qE '^[EWIP]: ' <<<"$report" || fail "appstreamcli validate: $report"
appstreamcli compose --no-net --result-root="$work/compose" --origin=veskari "$work/veskari" >/dev/null
catalog=$(zcat "$work/compose/usr/share/swcatalog/xml/veskari.xml.gz" 2>/dev/null || true)
[[ $catalog == *"<id>org.veskari.veskari</id>"* && $catalog == *'<icon type="cached" width="64"'* ]] ||
    fail "appstreamcli compose did not take the component with a 64 px icon"

# The unpacked programs run with the system's libraries.
report=$("$work/veskari-scan/usr/bin/veskari-scan" examples/example.rom) || fail "veskari-scan examples/example.rom"
updates=$(grep -cE '^[0-9]{4}/[0-9]{2}/[0-9]{2} Rev\. ' <<<"$report" || true)
[[ $updates == 8 ]] || fail "veskari-scan lists $updates updates in examples/example.rom, not 8"
QT_QPA_PLATFORM=offscreen "$work/veskari/usr/bin/veskari" --version 2>/dev/null | grep -qF "${version%-*}" ||
    fail "veskari --version"

echo "packages: $((failures == 0 ? 1 : 0)) passed, $((failures == 0 ? 0 : 1)) failed"
exit $((failures == 0 ? 0 : 1))
