#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) and
# runs each in turn for SECONDS (default 60), starting from its committed seeds in
# fuzz/corpus/<target>/. Fails when any target finds something; the input that did it is kept
# in build/fuzz/findings/, each target's log in build/fuzz/logs/.
#
#   bash scripts/fuzz.sh [SECONDS] [TARGET...]     # all targets when none is named
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true

bash scripts/install-deps.sh build fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for seeds in fuzz/corpus/*/; do
        targets+=("$(basename "$seeds")")
    done
fi

out=build/fuzz
mkdir -p "$out/findings" "$out/logs"
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

failed=()
for target in "${targets[@]}"; do
    # New inputs go to the build folder's corpus; the committed seeds are only read.
    corpus=$out/corpus/$target
    mkdir -p "$corpus"
    options=(-max_total_time="$seconds" -timeout=25 -print_final_stats=1
             -artifact_prefix="$out/findings/$target-")
    [ -f "fuzz/$target.dict" ] && options+=(-dict="fuzz/$target.dict")
    log=$out/logs/$target.log
    if "$out/bin/fuzz_$target" "${options[@]}" "$corpus" "fuzz/corpus/$target" >"$log" 2>&1; then
        echo "$target: $(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -1)"
    else
        echo "$target: FAILED (see $log)"
        grep -E 'ERROR|property does not hold|SUMMARY' "$log" | head -5 || true
        failed+=("$target")
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz.sh: findings in: ${failed[*]}" >&2
    exit 1
fi
