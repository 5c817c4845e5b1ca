#!/usr/bin/env bash
# The headless demo: what the command-line tool does with the bundled examples.
set -euo pipefail
build=${1:-build}
cli="$build/velmora-cli"
say() { printf '\n== %s\n' "$*"; }

say "Evaluate a template field"
"$cli" eval "HIGH(ADDRESS)+1" ADDRESS=0x1234

say "CRC-16 MODBUS of a request frame"
"$cli" crc --preset 4 --hex "01 03 00 00 00 0A"

say "A simulated device answers a frame built from the example protocol description"
sim="$build/velmora-sim"
desc="$build/examples/sim.vpdf"
coproc SIM { exec "$sim" --serial 1234 --ident "Демо-устройство"; }
sim_pid=$SIM_PID
trap 'kill "$sim_pid" 2>/dev/null || true' EXIT
read -r line <&"${SIM[0]}"
echo "velmora-sim listens on $line"
frame=$("$cli" protocol frame "$desc" 0 RECIPIENT=17)
echo "request:  $frame"
stty -F "$line" raw -echo
exec 3<>"$line"
printf '%b' "$(sed 's/\([0-9A-F][0-9A-F]\) \{0,1\}/\\x\1/g' <<<"$frame")" >&3
answer=$( (timeout 0.5 cat <&3 || true) | od -An -v -tx1 | tr -s ' \n' ' ' | tr a-f A-F | sed 's/^ //;s/ $//')
exec 3>&-
echo "answer:   $answer"
"$cli" protocol match "$desc" 0 "$answer" RECIPIENT=17

say "Program the simulated device, verify it, read it back and show what was read"
work=$(mktemp -d)
trap 'kill "$sim_pid" 2>/dev/null || true; rm -rf "$work"' EXIT
srec_cat -generate 0x2100 0x3000 -repeat-string "Velmora demo firmware. " -o "$work/firmware.hex" -intel
cat >"$work/prog.ini" <<INI
[Profiles]
active=default
[Port settings]
baudrate=12
[default\\Connection]
protocolFile=$(realpath "$desc")
INI
device() { "$cli" --quiet --settings "$work/prog.ini" --port "$line" device "$@"; }
device write "$work/firmware.hex" --verify
device read "$work/readback.hex"
"$cli" info "$work/readback.hex"
