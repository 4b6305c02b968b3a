#!/usr/bin/env bash
# Renders each panel of the window, the progress panel and the abort confirmation to PNG
# under a virtual X display. Usage: tools/screenshots.sh [OUTPUT_FOLDER] [INPUT_IMAGE]
# TAVMOR_BUILD=DIR builds in an existing build folder instead of build-shots/.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$here/build-shots/png}"
input="${2:-}"
BUILD="${TAVMOR_BUILD:-$here/build-shots}"
if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    cmake -S "$here" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DTAVMOR_BUILD_TESTS=OFF \
        -DTAVMOR_BUILD_APP=ON >"$BUILD.log" 2>&1
fi
cmake --build "$BUILD" --target tavmor-screenshots tavmor-genimage -j 2 >>"$BUILD.log" 2>&1 || {
    cat "$BUILD.log" >&2
    exit 1
}
if [ -z "$input" ]; then
    # A small generated image, so the information box shows real numbers.
    mkdir -p "$BUILD/sample"
    input="$BUILD/sample/panorama.tif"
    "$BUILD/tools/tavmor-genimage" "$input" --width 3000 --height 2000 --quiet >/dev/null 2>&1 || input=""
fi
xvfb-run -a -s "-screen 0 1024x768x24" "$BUILD/app/tavmor-screenshots" "$out" ${input:+"$input"}
