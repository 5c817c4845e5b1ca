#!/usr/bin/env bash
# Device speed in the desktop program: full-window read and write at 115200 and 9600 bit/s, each timed
# in the main window from the menu action to the end of the operation (the event loop running, the
# window shown on a virtual X server with the real X11 platform plugin) and printed beside the wire
# time of the same bytes (from the simulator's frame log) and the ratio, as line-bench.sh prints the
# command-line figures.
#   scripts/window-line-bench.sh [BUILD_DIR]   (default build-bench-ui, configured when missing)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench-ui}
if [ ! -f "$build/CMakeCache.txt" ]; then
    bash scripts/deps.sh
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j2 --target velmora-sim examples window_line_figures >/dev/null
sim="$build/velmora-sim"
desc=$(realpath "$build/examples/sim.vpdf")
work=$(mktemp -d)
export XDG_RUNTIME_DIR="$work/xdg"
mkdir -m 700 "$XDG_RUNTIME_DIR"
. scripts/lib/sim-line.sh
trap 'stop_sim; rm -rf "$work"' EXIT

in_window() { # operation; prints the seconds the window took and the processor time it used
    QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1600x1000x24" \
        "$build/app/ui/window_line_figures" "$work/prog.ini" "$work/fw.hex" "$1"
}

srec_cat -generate 0x2100 0x4000 -repeat-string "Velmora window bench. " -o "$work/fw.hex" -intel
for baud in 115200 9600; do
    index=12; [ "$baud" = 9600 ] && index=6
    start_sim --baud "$baud"
    settings "$index" 0x2100 0x3FFF 128 "$line"
    read -r t cpu < <(in_window write)
    requests=$(( $(frames) * 10 + 0x1F00 ))
    wire=$(wire_seconds "$baud" $(( $(answered_bytes) + requests )))
    report "window: write 0x2100..0x3FFF at $baud bit/s" "$t" "$wire" \
        "$(protocol_minimum "$baud" "$wire" "$(frames)" "$t")   window cpu $cpu s"
    stop_sim
    start_sim --baud "$baud"
    settings "$index" 0x2100 0x3FFF 128 "$line"
    read -r t cpu < <(in_window read)
    wire=$(wire_seconds "$baud" $(( $(answered_bytes) + $(frames) * 10 )))
    report "window: read 0x2100..0x3FFF at $baud bit/s" "$t" "$wire" \
        "$(protocol_minimum "$baud" "$wire" "$(frames)" "$t")   window cpu $cpu s"
    stop_sim
done
