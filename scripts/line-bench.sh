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
sim_pid=
trap '[ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null; rm -rf "$work"' EXIT

# Starts the simulator with the given options; sets $line.
start_sim() {
    "$sim" -v "$@" >"$work/sim.out" 2>"$work/sim.log" &
    sim_pid=$!
    for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
    line=$(head -1 "$work/sim.out")
}
stop_sim() { kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; sim_pid=; }

settings() { # baud index, FLASH start, FLASH end, page size
    cat >"$work/prog.ini" <<INI
[Profiles]
active=default
[Port settings]
baudrate=$1
[default\\Connection]
protocolFile=$desc
FLASH start=$2
FLASH end=$3
[default\\Protocol]
Pagesize=$4
INI
}

# Bytes on the wire: every frame sent (from the simulator's log: request length is not logged, so the
# request sizes of the example description are added: 10 bytes per read, 10 + data per write).
wire_seconds() { # baud, bytes
    awk -v b="$1" -v n="$2" 'BEGIN { printf "%.3f", n * 10 / b }'
}
answered_bytes() { grep -o 'answered [0-9]* bytes' "$work/sim.log" | awk '{ s += $2 } END { print s + 0 }'; }
frames() { grep -c 'answered' "$work/sim.log" || true; }

report() { # name, seconds, wire seconds
    awk -v n="$1" -v t="$2" -v w="$3" 'BEGIN { printf "%-44s %8.2f s   wire %7.2f s   ratio %5.2f\n", n, t, w, (w > 0 ? t / w : 0) }'
}

timed() { local s e; s=$(date +%s.%N); "$@" >/dev/null; e=$(date +%s.%N); awk -v s="$s" -v e="$e" 'BEGIN { printf "%.3f", e - s }'; }

for baud in 115200 9600; do
    index=12; [ "$baud" = 9600 ] && index=6
    settings "$index" 0x2100 0x3FFF 128
    srec_cat -generate 0x2100 0x4000 -repeat-string "Velmora line bench. " -o "$work/fw.hex" -intel
    start_sim --baud "$baud"
    t=$(timed "$cli" -q --settings "$work/prog.ini" --port "$line" device write "$work/fw.hex")
    requests=$(( $(frames) * 10 + 0x1F00 ))
    report "write 0x2100..0x3FFF at $baud bit/s" "$t" "$(wire_seconds "$baud" $(( $(answered_bytes) + requests )))"
    stop_sim
    start_sim --baud "$baud"
    t=$(timed "$cli" -q --settings "$work/prog.ini" --port "$line" device read "$work/r.bin")
    report "read 0x2100..0x3FFF at $baud bit/s" "$t" "$(wire_seconds "$baud" $(( $(answered_bytes) + $(frames) * 10 )))"
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
