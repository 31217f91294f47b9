#!/usr/bin/env bash
# Runs one fuzz target of a MOZHOU_FUZZ build from its committed seeds:
#   tests/fuzz/run.sh BUILD TARGET [libFuzzer options...]
# e.g. `tests/fuzz/run.sh build-fuzz index -max_total_time=3600` for an hour. New inputs are
# kept in BUILD/fuzz-corpus/TARGET (the next run goes on from them); an input that fails is
# written to BUILD/fuzz-artifacts/ and belongs, once mended, in tests/fuzz/seeds/TARGET.
# With MOZHOU_FUZZ_FRESH=1 (the tests) the new inputs go to a scratch folder instead, so that
# a test run starts from the committed seeds alone.
set -euo pipefail
build=$1
target=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
artifacts=$build/fuzz-artifacts
mkdir -p "$artifacts"
if [ "${MOZHOU_FUZZ_FRESH:-0}" = 1 ]; then
    corpus=$(mktemp -d)
    trap 'rm -rf "$corpus"' EXIT
else
    corpus=$build/fuzz-corpus/$target
    mkdir -p "$corpus"
fi
seeds=("$here/seeds/$target")
case "$target" in
open) dict=jet.dict; max_len=300000; seeds+=("$here/../data/jet-corpus") ;;
sql) dict=sql.dict; max_len=4096 ;;
append) dict=jet.dict; max_len=16384 ;;
index) dict=jet.dict; max_len=2048 ;;
*) echo "unknown target $target" >&2; exit 2 ;;
esac
"$build/bin/fuzz_$target" -dict="$here/$dict" -max_len=$max_len -timeout=60 \
    -artifact_prefix="$artifacts/$target-" -print_final_stats=1 "$@" "$corpus" "${seeds[@]}"
