# Helpers of the device speed benches (line-bench.sh, window-line-bench.sh): the simulator on a
# pseudo-terminal, a settings file for it, and the wire time of what went over the line, taken from
# the simulator's frame log. Expects $sim (the simulator), $desc (the example description) and $work
# (a scratch folder) to be set; the caller's EXIT trap should call stop_sim.

sim_pid=

# Starts the simulator with the given options; sets $line.
start_sim() {
    "$sim" -v "$@" >"$work/sim.out" 2>"$work/sim.log" &
    sim_pid=$!
    for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
    line=$(head -1 "$work/sim.out")
}
stop_sim() {
    [ -n "$sim_pid" ] || return 0
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=
}

settings() { # baud index, FLASH start, FLASH end, page size[, port]
    cat >"$work/prog.ini" <<INI
[Profiles]
active=default
[Port settings]
baudrate=$1
${5:+device=$5}
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

# The least time the protocol allows: the bytes, plus the silence of 3.5 characters (1.75 ms above
# 19200 bit/s) that must separate every request from its answer and every answer from the next
# request. Prints it and the ratio of the measured time to it.
protocol_minimum() { # baud, wire seconds, frames, measured seconds
    awk -v b="$1" -v w="$2" -v f="$3" -v t="$4" 'BEGIN {
        gap = (b > 19200) ? 0.00175 : 35 / b
        m = w + f * 2 * gap
        printf "   with silences %6.2f s   ratio %5.2f", m, (m > 0 ? t / m : 0) }'
}

report() { # name, seconds, wire seconds[, text after the figures]
    awk -v n="$1" -v t="$2" -v w="$3" -v x="${4:-}" 'BEGIN { printf "%-44s %8.2f s   wire %7.2f s   ratio %5.2f%s\n", n, t, w, (w > 0 ? t / w : 0), x }'
}
