#!/usr/bin/env bash
# Installs the Debian packages the project needs. Idempotent: does nothing
# when everything is there already.
#
#   install-deps.sh        everything: building, testing, benchmarks, screenshots
#   install-deps.sh run    only what `make run` needs to build and start the panel
#   install-deps.sh fuzz   what `make run` needs, and clang with libFuzzer
set -euo pipefail

# Building the panel and the simulated system, and showing it without a
# display. Recommended packages are left out here (GTK themes, translations,
# systemd...): the first `make run` should not wait for them.
run_packages=(
    g++ make cmake ninja-build
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev qt6-charts-dev libqt6opengl6-dev
    nlohmann-json3-dev pkg-config libmuparser-dev libfftw3-dev libtirpc-dev
    fonts-dejavu-core xvfb xauth
)
# The tests, benchmarks and screenshots on top of that.
all_packages=(
    "${run_packages[@]}"
    build-essential
    xdotool imagemagick
    python3-pyvisa-py
    # Remote control as a LAN instrument: DNS-SD built in, and the daemons
    # and clients the tests open it with (VXI-11 through rpcbind, lxi-tools,
    # avahi-browse in a network namespace of its own).
    libavahi-client-dev rpcbind lxi-tools avahi-daemon avahi-utils dbus iproute2
)

fuzz_packages=(
    "${run_packages[@]}"
    clang libclang-rt-14-dev
)

what=${1:-all}
case "$what" in
run) packages=("${run_packages[@]}"); recommends=(--no-install-recommends) ;;
all) packages=("${all_packages[@]}"); recommends=() ;;
fuzz) packages=("${fuzz_packages[@]}"); recommends=(--no-install-recommends) ;;
*) echo "usage: install-deps.sh [run|all|fuzz]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
        echo "install-deps: these packages are missing and only root can install them: ${missing[*]}" >&2
        echo "install-deps: run this script as root, or install sudo" >&2
        exit 1
    fi
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq "${recommends[@]}" "${missing[@]}"
