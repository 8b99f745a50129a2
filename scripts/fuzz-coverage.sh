#!/usr/bin/env bash
# Measures the line coverage each fuzz target reaches on the files of its
# parser: builds the fuzz-coverage preset, runs every target once over its
# kept corpus and what the runs found (build/fuzz/work/<name>), and prints
# llvm-cov's line figures per file and in total.
#
#   scripts/fuzz-coverage.sh [name...]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

declare -A files=(
  [language]="Mount/lang/xml_scan.cpp Mount/lang/utf8_decode.cpp Mount/lang/language_text.cpp"
  [update_answers]="update/update_rules.cpp update/update_manifest.cpp"
  [trace_archive]="env/trace_archive.cpp"
  [trace_rows]="env/trace_rows.cpp redirect/rule_rows.cpp"
  [switch_rows]="env/reg_rows.cpp"
  [rule_match]="redirect/rule_index.cpp redirect/rule_match.cpp redirect/path_match.cpp"
  [filter_request]="redirect/request_wire.cpp redirect/rule_match.cpp"
  [volume_header]="volume/volume_header.cpp"
  [view_archive]="standin/qdsk/view_archive.cpp"
)
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(language update_answers trace_archive trace_rows switch_rows rule_match filter_request volume_header view_archive)

out="$root/build/fuzz-coverage/report"
mkdir -p "$out"
cmake --preset fuzz-coverage >"$out/build.log" 2>&1 && cmake --build --preset fuzz-coverage -j2 >>"$out/build.log" 2>&1 ||
  { echo "fuzz-coverage build failed (see $out/build.log)"; exit 1; }

for name in "${targets[@]}"; do
  binary="$root/build/fuzz-coverage/fuzz/fuzz_$name"
  rm -f "$out/$name".profraw "$out/$name".profdata
  dirs=("fuzz/corpus/$name")
  [ -d "build/fuzz/work/$name" ] && dirs+=("build/fuzz/work/$name")
  LLVM_PROFILE_FILE="$out/$name.profraw" "$binary" -runs=0 "${dirs[@]}" >"$out/$name.log" 2>&1
  llvm-profdata merge -sparse "$out/$name.profraw" -o "$out/$name.profdata"
  paths=()
  for f in ${files[$name]}; do paths+=("$root/$f"); done
  echo "== $name"
  llvm-cov report "$binary" -instr-profile="$out/$name.profdata" "${paths[@]}" |
    awk '/\.cpp / || /^TOTAL/ { n = split($1, p, "/"); printf "  %-22s %5d lines, %5d missed, %s covered\n", p[n], $8, $9, $10 }'
done
