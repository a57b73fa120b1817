#!/usr/bin/env bash
# Checks the Debian package the way a user would use it: on a clean Debian 12
# root (debootstrap), `apt-get install ./kd7240fp_*.deb`, `kd7240fp --version`,
# then the panel under xvfb-run, until its "How to connect" box is on screen.
#
#   package-check.sh <folder with the .deb>
#
# Needs root (debootstrap, chroot, mounts) and the network to Debian's mirror.
# The freshly bootstrapped root is kept as a tarball in that folder, so a
# second run starts from the same clean root without bootstrapping again.
set -euo pipefail

folder=$(cd "${1:?usage: package-check.sh <folder with the .deb>}" && pwd)
deb=$(ls "$folder"/kd7240fp_*.deb | head -n 1)
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
root="$folder/debian12-root"
base="$folder/debian12-base.tar"
started=$(date +%s)

say() { echo "package-check: $*"; }

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { say "needs root (debootstrap, chroot, mounts): run it as root or install sudo"; exit 1; }
    sudo="sudo"
fi
for tool in debootstrap tesseract convert mountpoint desktop-file-validate appstreamcli; do
    if ! command -v "$tool" >/dev/null; then
        $sudo apt-get update -qq
        $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap tesseract-ocr imagemagick \
            desktop-file-utils appstream >/dev/null
        break
    fi
done

cleanup() {
    for m in proc sys dev/pts dev; do
        mountpoint -q "$root/$m" 2>/dev/null && $sudo umount -l "$root/$m"
    done
    return 0
}
trap cleanup EXIT
cleanup
$sudo rm -rf "$root"
mkdir -p "$root"

if [ ! -f "$base" ]; then
    say "bootstrapping a clean Debian 12 root (once; kept as $(basename "$base"))"
    $sudo debootstrap --variant=minbase bookworm "$root" "$mirror" >"$folder/debootstrap.log" 2>&1 \
        || { tail -n 20 "$folder/debootstrap.log"; exit 1; }
    $sudo tar -C "$root" -cf "$base" .
else
    $sudo tar -C "$root" -xf "$base"
fi

$sudo mount -t proc proc "$root/proc"
$sudo mount -t sysfs sys "$root/sys"
$sudo mount --bind /dev "$root/dev"
$sudo mount --bind /dev/pts "$root/dev/pts"
$sudo cp /etc/resolv.conf "$root/etc/resolv.conf"
$sudo cp "$deb" "$root/tmp/"
in_root() { $sudo chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root DEBIAN_FRONTEND=noninteractive "$@"; }

say "apt-get install ./$(basename "$deb")"
in_root apt-get update -qq
in_root apt-get install -y -qq "./tmp/$(basename "$deb")" >"$folder/package-install.log" 2>&1 \
    || { tail -n 20 "$folder/package-install.log"; exit 1; }

# The desktop entry and the AppStream data as the package installed them.
desktop-file-validate "$root/usr/share/applications/com.keldor.kd7240fp.desktop"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/com.keldor.kd7240fp.metainfo.xml" >/dev/null \
    || { appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/com.keldor.kd7240fp.metainfo.xml"; exit 1; }
say "desktop entry and AppStream data valid"
man -l "$root/usr/share/man/man1/kd7240fp.1.gz" >/dev/null 2>&1 || zcat "$root/usr/share/man/man1/kd7240fp.1.gz" | grep -q '^.TH KD7240FP' \
    || { say "no man page kd7240fp(1)"; exit 1; }

version=$(in_root kd7240fp --version)
say "kd7240fp --version: $version"
[[ "$version" == "kd7240fp "* ]] || { say "unexpected version output"; exit 1; }

# What a user needs to start it without a screen, and to look at it.
{ in_root apt-get install -y -qq xvfb xauth xdotool && in_root apt-get install -y -qq --no-install-recommends imagemagick; } \
    >"$folder/tools-install.log" 2>&1 || { tail -n 20 "$folder/tools-install.log"; exit 1; }
say "starting the panel under xvfb-run"
# The box is looked for by its title, then photographed a few times, until
# its text can be read off the screen.
in_root xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
    kd7240fp & pid=$!
    found=""
    for i in $(seq 60); do
        if xdotool search --name "SFP: Select Function Card" >/dev/null 2>&1; then found=yes; break; fi
        sleep 1
    done
    for i in 1 2 3 4 5 6 7 8; do sleep 1; import -window root /tmp/screen-$i.png; done
    kill $pid
    [ -n "$found" ]' || { say "the connection box did not appear"; exit 1; }

seen=""
for i in 1 2 3 4 5 6 7 8; do
    cp "$root/tmp/screen-$i.png" "$folder/package-check.png"
    # Read at twice the size: small dialog text is read far more reliably.
    text=$(convert "$folder/package-check.png" -resize 200% png:- | tesseract - - 2>/dev/null)
    if grep -q "How to connect to 7240 Function Card" <<<"$text"; then seen=yes; break; fi
done
if [ -z "$seen" ]; then
    say "the screen does not show the connection question; it reads:"
    echo "$text"
    exit 1
fi
say "the \"How to connect\" box is on screen ($folder/package-check.png)"
say "passed in $(( $(date +%s) - started )) s; package $(basename "$deb"), $(stat -c %s "$deb") bytes"
