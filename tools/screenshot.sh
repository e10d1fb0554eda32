#!/usr/bin/env bash
# Starts the window on a virtual X server with a window manager and saves
# screenshots of it, in English and in Japanese, into OUTPUT_DIR (default docs/):
#   screenshot-LANG.png           the report of the example image
#   screenshot-updates-LANG.png   the table of its updates
#   screenshot-tree-LANG.png      the tree, with an update of a nested member
#                                 selected: its details and its first bytes
#   screenshot-guide-LANG.png     the user guide that F1 opens
#   screenshot-problems-LANG.png  the list of what could not be analysed: a
#                                 copy of the image with a damaged member, and
#                                 a file that does not exist
# Usage: tools/screenshot.sh [BUILD_DIR] [OUTPUT_DIR]
# Needs the Debian packages xvfb, openbox, xdotool, imagemagick and
# fonts-noto-cjk.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build/dev}")
out=$(realpath "${2:-docs}")
work=$(mktemp -d)
xvfb=
openbox_pid=
app_pid=
cleanup() {
    [ -z "$app_pid" ] || kill "$app_pid" 2>/dev/null || true
    [ -z "$openbox_pid" ] || kill "$openbox_pid" 2>/dev/null || true
    [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
cp examples/example.rom "$work/example.rom"
# One byte inside the compressed data of the image's first member.
python3 - "$work/example.rom" "$work/damaged.rom" <<'PY'
import sys
image = bytearray(open(sys.argv[1], "rb").read())
member = image.index(b"-lh5-") - 2
image[member + 43 + 100] ^= 0x5A
open(sys.argv[2], "wb").write(image)
PY

Xvfb -displayfd 3 -screen 0 1280x1080x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$work/display")"
openbox >/dev/null 2>&1 &
openbox_pid=$!
sleep 1

# Starts the window in LANG with these arguments and sets `window` to its id
# once the example's analysis is done (it takes a fraction of a second).
start() {  # LANG ARGUMENTS...
    local lang=$1
    shift
    (cd "$work" && exec env LANG="$lang" LC_ALL= LC_MESSAGES= XDG_CONFIG_HOME="$work/config" \
        "$build/src/app/veskari" "$@" >/dev/null 2>&1) &
    app_pid=$!
    window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Veskari$' | head -n 1)
    sleep 2
}
stop() {
    kill "$app_pid" 2>/dev/null || true
    wait "$app_pid" 2>/dev/null || true
    app_pid=
}
shoot() {  # WINDOW FILE
    import -window "$1" -frame "$out/$2"
    echo "wrote $out/$2"
}

for lang in en_US.UTF-8 ja_JP.UTF-8; do
    short=${lang%%_*}
    start "$lang" example.rom
    shoot "$window" "screenshot-$short.png"
    stop
    start "$lang" --view updates example.rom
    shoot "$window" "screenshot-updates-$short.png"
    stop
    start "$lang" example.rom damaged.rom missing.rom
    shoot "$window" "screenshot-problems-$short.png"
    stop

    # The tree, taller, with the update inside example.rom/modules.bin/mobile.bin
    # chosen by the keys a user would press. The pane of details is drawn up
    # so that the fields and the hex view both show: its handle is found as
    # the gap between the frames of the tree and the pane, on a line of
    # pixels down the window.
    start "$lang" --view tree example.rom
    xdotool windowsize --sync "$window" 1000 980
    xdotool windowmove --sync "$window" 20 40
    sleep 1
    xdotool windowactivate --sync "$window"
    sleep 0.5
    for key in Home Down Down Right Down Right Down; do
        xdotool key "$key"
        sleep 0.3
    done
    sleep 0.5
    read -r top handle < <(import -window "$window" -crop 1x980+458+0 txt:- | awk -F'[,:]' '
        /#B8B8B8B8B8B8/ { if (top == "") top = $2; else if ($2 - last <= 8) { print top, int((last + $2) / 2); exit }
                          last = $2 }')
    echo "tree: frames from $top, handle at $handle" >&2
    for step in "mousemove --window $window 458 $handle" "mousedown 1" "mousemove --window $window 458 400" \
                "mousemove --window $window 458 $((top + 250))" "mouseup 1" "mousemove --window $window 990 10"; do
        xdotool $step
        sleep 0.3
    done
    shoot "$window" "screenshot-tree-$short.png"

    xdotool key F1
    guide=$(timeout 60 xdotool search --sync --onlyvisible --name '^Veskari .' | head -n 1)
    sleep 1
    shoot "$guide" "screenshot-guide-$short.png"
    stop
done
