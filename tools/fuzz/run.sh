#!/usr/bin/env bash
# Builds the fuzz targets of tests/fuzz/ (clang, libFuzzer, AddressSanitizer + UBSan) into
# build/fuzz/ and runs each one for a while, starting from its seeds in
# tests/fuzz/corpus/<target>/.
#
#   tools/fuzz/run.sh [SECONDS] [TARGET...]   each target (or those named) SECONDS, default 60
#   tools/fuzz/run.sh --short                 each target 5 seconds, for the test run
#   tools/fuzz/run.sh --build                 build only
#
# Prints the executions and findings per target and exits 1 when a target found something.
# A finding's input is kept in build/fuzz/findings/<target>/, the target's output in
# build/fuzz/logs/<target>.log; replay an input with build/fuzz/obj/<target>_fuzz FILE.
# What a run adds to a corpus stays in build/fuzz/corpus/<target>/; the seeds are not touched.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
out=build/fuzz

seconds=60
build_only=false
case "${1:-}" in
--short) seconds=5; shift ;;
--build) build_only=true; shift ;;
'' | *[!0-9]*) ;;
*) seconds=$1; shift ;;
esac

for tool in clang++ cmake ninja iconv perl; do
    command -v "$tool" >/dev/null || { echo "fuzz: $tool is missing (tools/setup.sh installs it)" >&2; exit 2; }
done

# clang reads string literals as UTF-8 and has no -fexec-charset=GBK, so the build uses a copy
# of the sources in which every non-ASCII character is written as the octal escapes of its GBK
# bytes (in comments too, where it does no harm). Unchanged files keep their time stamps.
to_gbk_escapes() {
    local from=$1 to=$out/src/$1
    mkdir -p "$(dirname "$to")"
    # iconv -c drops what GBK cannot hold; only comments may hold such characters.
    { iconv -c -f UTF-8 -t GBK "$from" || true; } |
        perl -pe 's/([\x81-\xfe][\x00-\xff]|[\x80\xff])/join "", map { sprintf "\\%03o", ord } split \/\/, $1/ge' \
            >"$to.new"
    if cmp -s "$to.new" "$to"; then rm "$to.new"; else mv "$to.new" "$to"; fi
}
for file in common/*.h common/*.cpp router/*.h router/*.cpp host/*.h host/*.cpp ui/TrayTip.* ui/ProgramTitle.* \
    tests/support/*.h tests/fuzz/*.h tests/fuzz/*.cpp; do
    to_gbk_escapes "$file"
done

cmake -S tools/fuzz -B "$out/obj" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE= \
    -DPELORIN_FUZZ_SOURCES="$root/$out/src" >/dev/null
cmake --build "$out/obj"
$build_only && exit 0

targets=("$@")
if ((${#targets[@]} == 0)); then
    for source in tests/fuzz/*_fuzz.cpp; do
        name=${source##*/}
        targets+=("${name%_fuzz.cpp}")
    done
fi

# Longer inputs where a rule only shows past 2047 bytes.
max_len_of() {
    case $1 in
    settings_load) echo 12000 ;;
    *) echo 0 ;;
    esac
}

# Runs one target; leaves its row of the table in $out/logs/<target>.row and, on a finding,
# the lines that tell it after the row. Exits 1 on a finding.
run_target() {
    local target=$1
    local binary=$out/obj/${target}_fuzz
    local corpus=$out/corpus/$target findings=$out/findings/$target log=$out/logs/$target.log
    local row=$out/logs/$target.row
    mkdir -p "$corpus" "$findings" "tests/fuzz/corpus/$target"
    local options=(-max_total_time="$seconds" -timeout=10 -print_final_stats=1 -artifact_prefix="$findings/"
                   -max_len="$(max_len_of "$target")")
    [[ -f tests/fuzz/$target.dict ]] && options+=(-dict="tests/fuzz/$target.dict")
    local status=0
    "$binary" "${options[@]}" "$corpus" "tests/fuzz/corpus/$target" >"$log" 2>&1 || status=$?
    local runs rate last coverage kept found=0
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
    last=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
    coverage=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
    kept=$(sed -n 's/.* corp: \([0-9]*\)\/.*/\1/p' <<<"$last")
    ((status == 0)) || found=1  # libFuzzer stops at its first finding
    printf '%-16s %8s %12s %9s %9s %7s %9s\n' "$target" "$seconds" "${runs:-0}" "${rate:-?}" \
        "${coverage:-?}" "${kept:-?}" "$found" >"$row"
    if ((found)); then
        grep -E 'ERROR|property broken|SUMMARY|Test unit written to' "$log" | head -n 8 | sed 's/^/    /' >>"$row"
        echo "    (whole output: $log)" >>"$row"
    fi
    return "$found"
}

# As many targets at a time as the machine has cores; the rows come in the targets' order.
# Coverage: the edges libFuzzer saw; corpus: the inputs it keeps, after its own reduction.
mkdir -p "$out/logs"
for target in "${targets[@]}"; do
    [[ -x $out/obj/${target}_fuzz ]] || { echo "fuzz: no target $target" >&2; exit 2; }
    rm -f "$out/logs/$target.row"
done
lanes=$(nproc)
pids=()
for target in "${targets[@]}"; do
    while (($(jobs -rp | wc -l) >= lanes)); do wait -n || true; done
    run_target "$target" &
    pids+=($!)
done
for pid in "${pids[@]}"; do wait "$pid" || true; done

printf '%-16s %8s %12s %9s %9s %7s %9s\n' target seconds executions 'exec/s' coverage corpus findings
total_runs=0 total_findings=0
for target in "${targets[@]}"; do
    row=$out/logs/$target.row
    [[ -f $row ]] || { echo "fuzz: $target left no result" >&2; total_findings=$((total_findings + 1)); continue; }
    cat "$row"
    read -r _ _ runs _ _ _ found <"$row"
    total_runs=$((total_runs + runs))
    total_findings=$((total_findings + found))
done
echo "fuzz: $total_runs executions, $total_findings finding(s)"
((total_findings == 0))
