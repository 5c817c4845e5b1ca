#!/usr/bin/env bash
# The headless demo: what the command-line tool does with the bundled examples.
set -euo pipefail
build=${1:-build}
cli="$build/velmora-cli"
say() { printf '\n== %s\n' "$*"; }

say "Evaluate a template field"
"$cli" eval "HIGH(ADDRESS)+1" ADDRESS=0x1234

say "CRC-16 MODBUS of a request frame"
"$cli" crc --preset 2 --hex "01 03 00 00 00 0A"
