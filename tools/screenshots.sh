#!/usr/bin/env bash
# Renders each panel of the window, the progress panel, the abort confirmation, the enlarged
# window and the RAW parameters dialog to PNG under a virtual X display, once with the light
# default look (OUTPUT_FOLDER/light) and once with a dark desktop theme, GTK's Adwaita dark
# through Qt's GTK platform theme (OUTPUT_FOLDER/dark).
# Usage: tools/screenshots.sh [OUTPUT_FOLDER] [INPUT_IMAGE]
# TAVMOR_BUILD=DIR builds in an existing build folder instead of build-shots/.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$here/build-shots/png}"
input="${2:-}"
BUILD="${TAVMOR_BUILD:-$here/build-shots}"
# shellcheck source=../scripts_common.sh
. "$here/scripts_common.sh"
# Qt's GTK platform theme reads the desktop's GTK theme; Adwaita's dark variant comes with GTK.
tavmor_install_packages qt6-gtk-platformtheme
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
# Each look starts from a clean environment, so a theme the caller has set does not leak in.
shots() {
    local folder="$1"
    shift
    env -u QT_QPA_PLATFORM -u QT_QPA_PLATFORMTHEME -u GTK_THEME "$@" \
        xvfb-run -a -s "-screen 0 1024x768x24" "$BUILD/app/tavmor-screenshots" "$folder" \
        ${input:+"$input"}
}
shots "$out/light"
shots "$out/dark" QT_QPA_PLATFORMTHEME=gtk3 GTK_THEME=Adwaita:dark
