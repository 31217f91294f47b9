#!/usr/bin/env bash
# The Debian package as a user gets it: made by cpack from a built tree, unpacked into a
# scratch folder and started there headless with a scratch home. The bank must be made in the
# user's data folder, the read-only files must come from the installed share folder, and the
# desktop entry and metainfo must pass their validators.
#   scripts/check_package.sh [BUILD_DIR]
set -euo pipefail
build=$(realpath "${1:-build}")
scratch=$(mktemp -d)
pid=
cleanup() {
    [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "check_package: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$scratch/out" >/dev/null)
deb=$(ls "$scratch"/out/*.deb)
root=$scratch/root
dpkg-deb -x "$deb" "$root"
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes"
dpkg-deb -f "$deb" Package Version Installed-Size Depends Recommends

export HOME=$scratch/home XDG_DATA_HOME=$scratch/data QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME"
bin=$root/usr/bin
share=$root/usr/share
"$bin/mozhou" --version | grep -qx 'mozhou [0-9.]*' || fail "mozhou --version"
"$bin/mozhou-db" --version | grep -qx 'mozhou-db [0-9.]*' || fail "mozhou-db --version"

# Where the unpacked program looks: the bank in the data folder, its files in share/mozhou.
paths=$("$bin/mozhou" --paths)
[ "$paths" = "bank: $XDG_DATA_HOME/mozhou/shujuku.mdb
files: $share/mozhou" ] || fail "unexpected places: $paths"
for f in help.txt daochu.mdb sample_bank.jsonl aaa.ico bbb.ico ccc.ico ddd.ico dui.jpg cuo.jpg; do
    [ -f "$share/mozhou/$f" ] || fail "$f is not in the share folder"
done

# The first start makes the bank from the installed sample; the program keeps running.
bank=$XDG_DATA_HOME/mozhou/shujuku.mdb
"$bin/mozhou" >"$scratch/mozhou.log" 2>&1 &
pid=$!
for _ in $(seq 100); do
    [ -f "$bank" ] && break
    sleep 0.2
done
[ -f "$bank" ] || fail "no bank made at $bank: $(cat "$scratch/mozhou.log")"
sleep 1
kill -0 "$pid" 2>/dev/null || fail "mozhou ended at its first start: $(cat "$scratch/mozhou.log")"
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=
questions=$("$bin/mozhou-db" export "$bank" tiku | wc -l)
sample=$(grep -c . "$share/mozhou/sample_bank.jsonl")
[ "$questions" = "$sample" ] || fail "the bank holds $questions questions, the sample $sample"
[ ! -e "$bin/shujuku.mdb" ] || fail "a bank was made beside the installed program"

desktop-file-validate "$share"/applications/*.desktop
appstreamcli validate --no-net "$share"/metainfo/*.metainfo.xml
for size in 16 22 24 32 48 64 128 256; do
    icon=$(ls "$share"/icons/hicolor/${size}x${size}/apps/*.png)
    file -b "$icon" | grep -q "PNG image data, $size x $size," || fail "$icon is not $size x $size"
done
[ -f "$share/man/man1/mozhou-db.1" ] || fail "no man page for mozhou-db"
echo "check_package: the package installs and starts as it should"
