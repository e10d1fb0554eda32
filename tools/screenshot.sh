#!/usr/bin/env bash
# Starts the window under Xvfb with the example image analysed and saves a
# screenshot, in English and in Japanese.
# Usage: tools/screenshot.sh [BUILD_DIR] [OUTPUT_DIR]   (needs xvfb and fonts-noto-cjk)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/dev}
out=${2:-docs}
for lang in en_US.UTF-8 ja_JP.UTF-8; do
    name=screenshot-${lang%%_*}.png
    LANG=$lang LC_ALL= LC_MESSAGES= xvfb-run -a -s "-screen 0 1024x768x24" \
        "$build/src/app/veskari" --screenshot "$out/$name" examples/example.rom
    echo "wrote $out/$name"
done
