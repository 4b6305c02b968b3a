# Shared by run.sh and test.sh: installs the Debian packages the build needs when missing.
# shellcheck shell=bash

TAVMOR_PACKAGES=(cmake g++ make pkg-config libtiff-dev libgtest-dev libgmock-dev libcli11-dev
    libbenchmark-dev qt6-base-dev xvfb xauth clang-format clang-14 libclang-rt-14-dev
    libjpeg62-turbo-dev libpng-dev libwebp-dev zlib1g-dev chromium nodejs libvips-tools)
# Packages wanted only when their command is missing: some builds of nodejs bring npm along and
# conflict with Debian's own npm package.
TAVMOR_COMMAND_PACKAGES=(npm)

tavmor_install_packages() {
    local missing=()
    local p
    for p in "${TAVMOR_PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    for p in "${TAVMOR_COMMAND_PACKAGES[@]}"; do
        command -v "$p" >/dev/null || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing ${#missing[@]} Debian packages (a few minutes the first time): ${missing[*]}"
        local sudo=""
        [ "$(id -u)" -ne 0 ] && sudo="sudo"
        $sudo apt-get update -q
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
    fi
}

tavmor_jobs() {
    nproc 2>/dev/null || echo 2
}
