#!/bin/sh
# End-to-end check of the signing tool: a key pair, a manifest that the
# verifier accepts with that key only, a changed manifest refused, and the
# refusals of bad input. Usage: updsign_test.sh path/to/updsign
tool=$1
# Under the sanitizers: the one allocation libgcrypt keeps for good.
LSAN_OPTIONS="suppressions=$(dirname "$0")/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export LSAN_OPTIONS
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

pub=$("$tool" keygen "$dir/secret") || fail "keygen"
other=$("$tool" keygen "$dir/other") || fail "second keygen"
echo "$pub" | grep -Eq '^[0-9a-f]{64}$' || fail "public key form: $pub"
[ "$(stat -c %a "$dir/secret")" = 600 ] || fail "secret key file mode"
"$tool" keygen "$dir/secret" >/dev/null 2>&1 && fail "keygen overwrote a key"

printf 'archive' > "$dir/mani.zip"
printf 'program' > "$dir/update.zip"
"$tool" sign "$dir/secret" 12 2.10 "$dir/mani.zip" "$dir/update.zip" > "$dir/manifest.txt" || fail "sign"
[ "$("$tool" verify "$pub" "$dir/manifest.txt")" = "ok serial=12 version=2.10" ] || fail "verify"
"$tool" verify "$other" "$dir/manifest.txt" >/dev/null 2>&1 && fail "verified with another key"
sed 's/^serial 12$/serial 13/' "$dir/manifest.txt" > "$dir/changed.txt"
"$tool" verify "$pub" "$dir/changed.txt" >/dev/null 2>&1 && fail "verified a changed manifest"
grep -q "^mani $(sha512sum "$dir/mani.zip" | cut -c1-128)\$" "$dir/manifest.txt" || fail "mani digest"
grep -q "^update $(sha512sum "$dir/update.zip" | cut -c1-128)\$" "$dir/manifest.txt" || fail "update digest"

for serial in 0 012 -1 x; do
  "$tool" sign "$dir/secret" "$serial" 2.10 "$dir/mani.zip" "$dir/update.zip" >/dev/null 2>&1 && fail "serial $serial accepted"
done
"$tool" sign "$dir/secret" 1 "2 10" "$dir/mani.zip" "$dir/update.zip" >/dev/null 2>&1 && fail "version with a blank accepted"
"$tool" sign "$dir/missing" 1 2.10 "$dir/mani.zip" "$dir/update.zip" >/dev/null 2>&1 && fail "missing key accepted"

[ "$failures" -eq 0 ] && echo "updsign: all checks passed"
[ "$failures" -eq 0 ]
