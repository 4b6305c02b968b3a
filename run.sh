#!/usr/bin/env bash
# Installs what is missing and builds; with arguments runs `tavmor ARGS`, without them
# starts the window when a display is available, else runs the demo job.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
cd "$here"
. ./scripts_common.sh
tavmor_install_packages >&2

BUILD=build
# The window is asked for explicitly: a build folder configured without it keeps that choice.
if ! cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DTAVMOR_BUILD_TESTS=OFF \
    -DTAVMOR_BUILD_APP=ON >"$BUILD.log" 2>&1 ||
    ! cmake --build "$BUILD" -j "$(tavmor_jobs)" >>"$BUILD.log" 2>&1; then
    cat "$BUILD.log" >&2
    echo "Build failed" >&2
    exit 1
fi

if [ $# -gt 0 ]; then
    exec "$BUILD/cli/tavmor" "$@"
fi

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$BUILD/app/tavmor-tools" ]; then
    exec "$BUILD/app/tavmor-tools"
fi

exec "$here/tools/demo.sh" "$BUILD"
