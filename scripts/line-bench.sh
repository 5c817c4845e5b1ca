#!/usr/bin/env bash
# Device speed against the simulated device: full-window read and write at 115200 and 9600 bit/s,
# a 1 MiB write with verify with the device answering at once, a search of 0..255 with one device,
# and how fast Ctrl-C ends a 3 s wait for an answer. Each figure is printed beside the wire time of
# the same bytes (from the simulator's frame log) and the ratio.
#   scripts/line-bench.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
[ -x "$build/velmora-cli" ] || { echo "build the project first ($build/velmora-cli is missing)" >&2; exit 2; }
cli="$build/velmora-cli"
sim="$build/velmora-sim"
desc=$(realpath "$build/examples/sim.vpdf")
work=$(mktemp -d)
. scripts/lib/sim-line.sh
trap 'stop_sim; rm -rf "$work"' EXIT

timed() { local s e; s=$(date +%s.%N); "$@" >/dev/null; e=$(date +%s.%N); awk -v s="$s" -v e="$e" 'BEGIN { printf "%.3f", e - s }'; }

for baud in 115200 9600; do
    index=12; [ "$baud" = 9600 ] && index=6
    settings "$index" 0x2100 0x3FFF 128
    srec_cat -generate 0x2100 0x4000 -repeat-string "Velmora line bench. " -o "$work/fw.hex" -intel
    start_sim --baud "$baud"
    t=$(timed "$cli" -q --settings "$work/prog.ini" --port "$line" device write "$work/fw.hex")
    requests=$(( $(frames) * 10 + 0x1F00 ))
    wire=$(wire_seconds "$baud" $(( $(answered_bytes) + requests )))
    report "write 0x2100..0x3FFF at $baud bit/s" "$t" "$wire" "$(protocol_minimum "$baud" "$wire" "$(frames)" "$t")"
    stop_sim
    start_sim --baud "$baud"
    t=$(timed "$cli" -q --settings "$work/prog.ini" --port "$line" device read "$work/r.bin")
    wire=$(wire_seconds "$baud" $(( $(answered_bytes) + $(frames) * 10 )))
    report "read 0x2100..0x3FFF at $baud bit/s" "$t" "$wire" "$(protocol_minimum "$baud" "$wire" "$(frames)" "$t")"
    stop_sim
done

settings 12 0x10000 0x10FFFF 256
srec_cat -generate 0x10000 0x110000 -repeat-string "Velmora MiB. " -o "$work/mib.hex" -intel
start_sim --flash-start 0x10000 --flash-end 0x10FFFF --page-size 256
t=$(timed "$cli" -q --settings "$work/prog.ini" --port "$line" device write "$work/mib.hex" --verify)
report "1 MiB write with verify, device at once" "$t" 0
stop_sim

settings 12 0x2100 0x3FFF 128
start_sim --baud 115200
t=$(timed "$cli" -q --settings "$work/prog.ini" --port "$line" device find)
report "search 0..255, one device, 115200 bit/s" "$t" 0
t=$(timed "$cli" -q --settings "$work/prog.ini" --port "$line" device find --answer-timeout 20)
report "the same with --answer-timeout 20" "$t" 0
stop_sim

start_sim --reply-delay 3000
"$cli" -q --settings "$work/prog.ini" --port "$line" device erase >/dev/null 2>&1 &
cli_pid=$!
sleep 0.5
s=$(date +%s.%N)
kill -INT "$cli_pid"
wait "$cli_pid" || true
e=$(date +%s.%N)
awk -v s="$s" -v e="$e" 'BEGIN { printf "%-44s %8.3f s\n", "Ctrl-C during a 3 s answer wait", e - s }'
stop_sim
