#!/bin/sh
# The rules tool against the shipped archive: a path under a shipped rule is
# answered with the redirection device and the same path below the volume
# root; a path under no rule gets an empty line; bad input exits with 2.
# $1: scripts/wine-run.sh, $2: vgrules.exe.so, $3: mani.sys
run=$1 tool=$2 archive=$3
fail() { echo "FAIL: $*"; exit 1; }

list=$("$run" "$tool" --archive "$archive" --list) || fail "--list exited $?"
# The first rule whose names include "History*": a file name it catches.
rule=$(printf '%s\n' "$list" | awk -F '\t' '$2 ~ /(^|;)History\*/ { print $1; exit }')
[ -n "$rule" ] || fail "no shipped rule for History*"
case "$rule" in \\Device\\*) ;; *) fail "rule folder not in device form: $rule" ;; esac
below=${rule#\\Device\\*\\}          # the folder below the volume root
path="${rule}History"
expected="\\Device\\QdskVolumeX\\${below}History"

out=$(mktemp)
trap 'rm -f "$out"' EXIT
printf '%s\n%s\n' "$path" '\Device\HarddiskVolume1\no-such-folder\file.txt' |
  "$run" "$tool" --archive "$archive" --drive X: --device '\Device\QdskVolumeX' >"$out" || fail "match exited $?"
first=$(sed -n 1p "$out" | tr -d '\r')
second=$(sed -n 2p "$out" | tr -d '\r')
[ "$first" = "$expected" ] || fail "got '$first', expected '$expected'"
[ -z "$second" ] || fail "a path under no rule was redirected: '$second'"
[ "$(wc -l <"$out")" -eq 2 ] || fail "not one line per path"

"$run" "$tool" --archive "$archive.missing" --list >/dev/null 2>&1
[ $? -eq 2 ] || fail "a missing archive did not exit 2"
echo "vgrules: ok"
