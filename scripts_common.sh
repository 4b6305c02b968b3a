# Shared by run.sh and test.sh: installs the Debian packages the build needs when missing.
# shellcheck shell=bash

TAVMOR_PACKAGES=(cmake g++ make pkg-config libtiff-dev zlib1g-dev libgtest-dev libgmock-dev libcli11-dev
    libbenchmark-dev qt6-base-dev xvfb xauth clang-format clang-14 libclang-rt-14-dev)

tavmor_install_packages() {
    local missing=()
    local p
    for p in "${TAVMOR_PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        local sudo=""
        [ "$(id -u)" -ne 0 ] && sudo="sudo"
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
    fi
}

tavmor_jobs() {
    nproc 2>/dev/null || echo 2
}
