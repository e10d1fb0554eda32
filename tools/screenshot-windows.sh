#!/usr/bin/env bash
# Starts veskari.exe under Wine on a virtual X server with a window manager and
# saves screenshots of the dialog, in English and in Japanese, at 100 % and at
# 200 % (Wine's LogPixels 96 and 192), into OUTPUT_DIR (default docs/):
#   screenshot-windows-LANG-PERCENT.png   the report of the example image and a
#                                         file that does not exist (the list of
#                                         problems shows below the report)
# Usage: tools/screenshot-windows.sh [BUILD_DIR] [OUTPUT_DIR]
# Needs the Debian packages wine, xvfb, openbox, xdotool, imagemagick and
# fonts-noto-cjk (the Japanese dialog's font is replaced by Noto Sans CJK JP,
# Arial by Liberation Sans).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build/windows-cross}")
out=$(realpath "${2:-docs}")
program="$build/src/win/veskari.exe"
export WINEPREFIX="$build/wine-prefix-screenshots" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
work=$(mktemp -d)
xvfb=
openbox_pid=
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    [ -z "$openbox_pid" ] || kill "$openbox_pid" 2>/dev/null || true
    [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
cp examples/example.rom "$work/example.rom"

Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$work/display")"
openbox >/dev/null 2>&1 &
openbox_pid=$!

[ -f "$WINEPREFIX/system.reg" ] || { wineboot --init && wineserver --wait; } >/dev/null 2>&1
for font in "ＭＳ Ｐゴシック:Noto Sans CJK JP" "ＭＳ ゴシック:Noto Sans CJK JP" "Arial:Liberation Sans"; do
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "${font%%:*}" /t REG_SZ /d "${font#*:}" /f >/dev/null 2>&1
done

for dpi in 96 192; do
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    wineserver --wait
    for lang in en_US.UTF-8 ja_JP.UTF-8; do
        file="screenshot-windows-${lang%%_*}-$((dpi * 100 / 96)).png"
        (cd "$work" && LANG=$lang LC_ALL= LC_MESSAGES= LC_CTYPE=C.UTF-8 wine "$program" example.rom missing.rom) &
        wine_pid=$!
        window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Veskari$' | head -n 1)
        sleep 4  # the analysis, the list of problems, the summary
        import -window "$window" -frame "$out/$file"
        wineserver -k >/dev/null 2>&1 || true
        wait "$wine_pid" || true
        echo "wrote $out/$file"
    done
done
