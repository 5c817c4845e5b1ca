#!/usr/bin/env bash
# The desktop demo: the program with a ready profile that talks to a simulated device.
# Settings live in a scratch folder, so the user's own prog.ini is never touched.
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-demo.XXXXXX")

"$build/velmora-sim" --serial 1234 --ident "Демо-устройство" --image-out "$work/device.bin" \
    >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 50); do
    [ -s "$work/sim.out" ] && break
    sleep 0.1
done
line=$(head -n 1 "$work/sim.out")
[ -n "$line" ] || { echo "velmora-sim did not start: $(cat "$work/sim.err")" >&2; exit 1; }

cat >"$work/prog.ini" <<INI
[Profiles]
active=default
count=1
profile1=default
[Port settings]
device=$line
Stop bits=0
[Data]
File=$root/examples/sample-firmware.hex
[default\\Connection]
protocolFile=$(realpath "$build/examples/sim.vpdf")
FLASH start=0x2100
FLASH end=0x3FFF
[default\\Protocol]
Pagesize=128
INI

echo "Simulated device on $line (address 0x11); settings in $work/prog.ini"
"$build/app/ui/velmora" --settings "$work/prog.ini"
