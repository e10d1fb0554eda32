#!/usr/bin/env bash
# Starts the window under Xvfb and saves screenshots of its three views, in
# English and in Japanese, into OUTPUT_DIR (default docs/):
#   screenshot-LANG.png           the report of the example image
#   screenshot-updates-LANG.png   the table of its updates
#   screenshot-problems-LANG.png  the list of what could not be analysed: a
#                                 copy of the image with a damaged member, and
#                                 a file that does not exist
# Usage: tools/screenshot.sh [BUILD_DIR] [OUTPUT_DIR]
# Needs the Debian packages xvfb, xauth and fonts-noto-cjk.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build/dev}")
out=$(realpath "${2:-docs}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp examples/example.rom "$work/example.rom"
# One byte inside the compressed data of the image's first member.
python3 - "$work/example.rom" "$work/damaged.rom" <<'PY'
import sys
image = bytearray(open(sys.argv[1], "rb").read())
member = image.index(b"-lh5-") - 2
image[member + 43 + 100] ^= 0x5A
open(sys.argv[2], "wb").write(image)
PY
shoot() {  # LANG FILE ARGUMENTS...
    local lang=$1 file=$2
    shift 2
    (cd "$work" && LANG=$lang LC_ALL= LC_MESSAGES= XDG_CONFIG_HOME="$work/config" \
        xvfb-run -a -s "-screen 0 1280x800x24" "$build/src/app/veskari" --screenshot "$out/$file" "$@")
    echo "wrote $out/$file"
}
for lang in en_US.UTF-8 ja_JP.UTF-8; do
    short=${lang%%_*}
    shoot "$lang" "screenshot-$short.png" example.rom
    shoot "$lang" "screenshot-updates-$short.png" --view updates example.rom
    shoot "$lang" "screenshot-problems-$short.png" example.rom damaged.rom missing.rom
done
