#!/usr/bin/env bash
# Installs a build tree into a temporary DESTDIR and checks what a package would hold: the programs
# run, the desktop entry and the metainfo pass their validators, the file types compile into a MIME
# database that knows the three kinds, the man pages and examples are there.
#   packaging/check_install_tree.sh BUILD_DIR
# Exits 77 (skipped) when a checking tool is missing.
set -euo pipefail
build=$1

for tool in desktop-file-validate appstreamcli xmllint update-mime-database help2man; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIPPED: $tool is not installed (scripts/deps.sh installs the packaging tools)"
        exit 77
    fi
done

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
DESTDIR=$stage cmake --install "$build" --prefix /usr >/dev/null
root=$stage/usr

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
present() {
    [ -s "$root/$1" ] || fail "$1 is missing or empty"
}

programs=(velmora-cli velmora-sim)
[ -e "$build/app/ui/velmora" ] && programs+=(velmora)
for p in "${programs[@]}"; do
    [ -x "$root/bin/$p" ] || { fail "bin/$p is not installed"; continue; }
    version=$("$root/bin/$p" --version 2>&1) || fail "$p --version failed: $version"
    present "share/man/man1/$p.1.gz"
    gzip -dc "$root/share/man/man1/$p.1.gz" | grep -q "^\.TH" || fail "the man page of $p has no title"
done

# The installed tool reads the installed examples.
examples=$root/share/velmora/examples
present share/velmora/examples/sim.vpdf
present share/velmora/examples/sample-firmware.hex
"$root/bin/velmora-cli" protocol check "$examples/sim.vpdf" >/dev/null 2>&1 ||
    fail "velmora-cli cannot read the installed sim.vpdf"
"$root/bin/velmora-cli" info "$examples/sample-firmware.hex" >/dev/null 2>&1 ||
    fail "velmora-cli cannot read the installed sample firmware"

desktop-file-validate "$root/share/applications/velmora.desktop" || fail "velmora.desktop is not valid"
appstreamcli validate --no-net "$root/share/metainfo/org.example.velmora.metainfo.xml" >/dev/null ||
    fail "the metainfo is not valid: $(appstreamcli validate --no-net "$root/share/metainfo/"*.xml)"
present share/icons/hicolor/scalable/apps/velmora.svg
present share/icons/hicolor/48x48/apps/velmora.png

# The file types: well formed, and a MIME database built from them names each kind by its glob, and
# the two binary kinds by their magic.
mime=$root/share/mime
xmllint --noout "$mime/packages/velmora.xml" || fail "the MIME XML is not well formed"
complaint=$(XDG_DATA_DIRS=$root/share update-mime-database "$mime" 2>&1) || fail "update-mime-database failed: $complaint"
[ -z "$complaint" ] || fail "update-mime-database complained: $complaint"
for kind in "text/x-ihex:\*.hex" "application/x-velmora-envelope:\*.q7r" \
    "application/x-velmora-protocol:\*.vpdf"; do
    grep -q "${kind%%:*}:${kind#*:}" "$mime/globs2" || fail "no glob ${kind#*:} for ${kind%%:*}"
done
for kind in application/x-velmora-envelope application/x-velmora-protocol; do
    grep -aq "$kind" "$mime/magic" || fail "no magic for $kind"
done

for doc in user-guide.md settings.md files.md copyright changelog.gz; do
    present "share/doc/velmora/$doc"
done

[ "$failures" -eq 0 ] || exit 1
echo "install tree complete"
