#!/usr/bin/env bash
# Builds the panel as a user with the card would (-DSFP_PLATFORM=vendor)
# against libraries named like the vendor's (libvisa64, libkd7240_64,
# libkd7010_64), then runs its connection through them: Auto Find on a system
# with one card, under Xvfb, until the panel window is up. Stand-ins for the
# vendor's libraries are the simulated system split into those three, put
# into a staging folder (tools/vendorcheck).
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
work=${VENDOR_CHECK_DIR:-build-vendor}
staging="$top/$work/staging"
started=$(date +%s)
say() { echo "vendor-check: $*"; }

say "building the stand-in libraries into $work/staging"
cmake -S tools/vendorcheck -B "$work/standins" -G Ninja >/dev/null
cmake --build "$work/standins"
cmake --install "$work/standins" --prefix "$staging" >/dev/null

say "building the panel with -DSFP_PLATFORM=vendor"
cmake -S . -B "$work/panel" -G Ninja -DSFP_PLATFORM=vendor -DCMAKE_LIBRARY_PATH="$staging/lib" >/dev/null
cmake --build "$work/panel" --target kd7240fp
panel="$work/panel/softfrontpanel/kd7240fp"

# The program needs exactly the three vendor libraries, and nothing simulated.
needed=$(readelf -d "$panel" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
for lib in libvisa64.so libkd7240_64.so libkd7010_64.so; do
    grep -qx "$lib" <<<"$needed" || { say "$panel does not link $lib"; exit 1; }
done
if grep -q kdsim <<<"$needed"; then say "$panel links the simulated system directly"; exit 1; fi

say "Auto Find with one card, through the vendor-named libraries"
trace="$top/$work/trace.jsonl"
rm -f "$trace"
export KDSIM_SYSTEM="$top/tests/systems/search_one.json" KDSIM_TRACE="$trace"
export LD_LIBRARY_PATH="$staging/lib"
xvfb-run -a sh -c '
    "$0" & pid=$!
    wait_for() { for i in $(seq 60); do xdotool search --name "$1" >/dev/null 2>&1 && return 0; sleep 0.5; done; return 1; }
    ok=""
    # Return answers the connection question with its default, Auto Find.
    if wait_for "SFP: Select Function Card"; then
        sleep 1
        xdotool key Return
        wait_for "Vantix 7240 Soft Front Panel" && ok=yes
    fi
    kill $pid
    [ -n "$ok" ]' "$top/$panel" || { say "the panel window did not come up"; exit 1; }

grep -q '"call":"kd7240_init".*"status":0' "$trace" || { say "no successful kd7240_init in the trace"; exit 1; }
grep -q '"call":"viFindRsrc"' "$trace" || { say "no resource search in the trace"; exit 1; }
say "passed in $(( $(date +%s) - started )) s: connected to $(grep -o '"descriptor":"[^"]*"' "$trace" | tail -n 1)"
