#!/usr/bin/env bash
# Installs what is missing and builds; with arguments runs `tavmor ARGS` in the caller's folder,
# without them starts the window when a display is available, else runs the demo job.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/scripts_common.sh"
tavmor_install_packages >&2

BUILD="$here/build"
LOG="$here/build.log"
if [ ! -x "$BUILD/cli/tavmor" ]; then
    echo "Building Tavmor Tools (about a minute the first time; the log is in $LOG) ..." >&2
fi
# The window is asked for explicitly: a build folder configured without it keeps that choice.
if ! cmake -S "$here" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DTAVMOR_BUILD_TESTS=OFF \
    -DTAVMOR_BUILD_APP=ON >"$LOG" 2>&1 ||
    ! cmake --build "$BUILD" -j "$(tavmor_jobs)" >>"$LOG" 2>&1; then
    tail -n 40 "$LOG" >&2
    echo "The build failed; the whole log is in $LOG" >&2
    exit 1
fi

if [ $# -gt 0 ]; then
    exec "$BUILD/cli/tavmor" "$@"
fi

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$BUILD/app/tavmor-tools" ]; then
    exec "$BUILD/app/tavmor-tools"
fi

echo "No display: running the demo in $here/demo instead of the window." >&2
cd "$here"
exec "$here/tools/demo.sh" "$BUILD"
