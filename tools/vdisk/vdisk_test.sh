#!/bin/sh
# End-to-end check of the vdisk tool: create, inspect, wrong password, bad
# input. Usage: vdisk_test.sh path/to/vdisk
vdisk=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

expect_code() {  # expected actual what
  [ "$1" = "$2" ] || fail "$3: exit code $2, expected $1"
}

# A container with defaults, and one with another algorithm and PRF.
size=1048576
printf 'correct horse\n' | "$vdisk" create --size $size "$dir/a.dat"
expect_code 0 $? "create"
[ "$(wc -c < "$dir/a.dat")" -eq $size ] || fail "container size"

out=$(printf 'correct horse\n' | "$vdisk" info "$dir/a.dat")
expect_code 0 $? "info"
data=$((size - 262144))
line="ok algorithm=1 mode=1 prf=1 version=4 minprog=0x0600 dataSize=$data areaStart=131072 areaLength=$data hiddenSize=0 flags=0"
[ "$out" = "header: $line
backup: $line
data: fresh" ] || fail "info output: $out"

printf 'pw\r\n' | "$vdisk" create --algorithm 7 --prf 3 --size 262144 "$dir/b.dat"
expect_code 0 $? "create with options"
out=$(printf 'pw\n' | "$vdisk" info "$dir/b.dat")
expect_code 0 $? "info with options"
echo "$out" | grep -q '^header: ok algorithm=7 mode=1 prf=3 version=4 minprog=0x0600 dataSize=0 ' || fail "options: $out"
echo "$out" | grep -q '^backup: ok algorithm=7 ' || fail "backup with options: $out"
echo "$out" | grep -q '^data: none$' || fail "no data area: $out"

# The two headers carry different salts but the same master key.
[ "$(head -c 64 "$dir/a.dat" | od -An -tx1)" != "$(tail -c 131072 "$dir/a.dat" | head -c 64 | od -An -tx1)" ] \
  || fail "backup salt equals header salt"

# Wrong password: two fail lines, exit 1.
out=$(printf 'Correct horse\n' | "$vdisk" info "$dir/a.dat")
expect_code 1 $? "wrong password"
[ "$out" = "header: fail
backup: fail" ] || fail "wrong password output: $out"

# The fresh-container mark is the first data unit only: a changed byte in
# it makes the area "used"; changes further on leave it fresh.
cp "$dir/a.dat" "$dir/e.dat"
printf '\377' | dd of="$dir/e.dat" bs=1 seek=$((131072 + 1000)) conv=notrunc 2>/dev/null
printf 'correct horse\n' | "$vdisk" info "$dir/e.dat" | grep -q '^data: fresh$' || fail "mark beyond unit 0"
printf '\377' | dd of="$dir/e.dat" bs=1 seek=$((131072 + 3)) conv=notrunc 2>/dev/null
printf 'correct horse\n' | "$vdisk" info "$dir/e.dat" | grep -q '^data: used$' || fail "damaged mark"

# A damaged primary header: exit 1, the backup still opens.
cp "$dir/a.dat" "$dir/c.dat"
printf '\377' | dd of="$dir/c.dat" bs=1 seek=300 conv=notrunc 2>/dev/null
out=$(printf 'correct horse\n' | "$vdisk" info "$dir/c.dat")
expect_code 1 $? "damaged header"
echo "$out" | grep -q '^backup: ok' || fail "backup of damaged header: $out"

# Bad input: exit 2, one line on standard error, no file left behind.
bad() {  # what input args...
  what=$1; input=$2; shift 2
  err=$(printf "$input" | "$vdisk" "$@" 2>&1 >/dev/null)
  code=$?
  expect_code 2 $code "$what"
  [ -n "$err" ] || fail "$what: no message"
  [ "$(printf '%s\n' "$err" | wc -l)" -eq 1 ] || fail "$what: more than one line: $err"
}
long=$(printf '%065d' 0)
bad "size too small" 'pw\n' create --size 262143 "$dir/n1.dat"
bad "password too long" "$long\n" create --size 262144 "$dir/n2.dat"
bad "no password" '' create --size 262144 "$dir/n3.dat"
bad "empty password" '\n' create --size 262144 "$dir/n4.dat"
bad "unknown option" 'pw\n' create --size 262144 --cipher 1 "$dir/n5.dat"
bad "algorithm without XTS" 'pw\n' create --algorithm 9 --size 262144 "$dir/n6.dat"
bad "unknown prf" 'pw\n' create --prf 5 --size 262144 "$dir/n7.dat"
bad "size not a number" 'pw\n' create --size 1e6 "$dir/n8.dat"
bad "missing size" 'pw\n' create "$dir/n9.dat"
bad "missing file" 'pw\n' info "$dir/none.dat"
head -c 262143 "$dir/a.dat" > "$dir/short.dat"
bad "short file" 'correct horse\n' info "$dir/short.dat"
bad "password too long for info" "$long\n" info "$dir/a.dat"
bad "unknown command" '' format "$dir/a.dat"
bad "existing file" 'pw\n' create --size 262144 "$dir/a.dat"
for n in 1 2 3 4 5 6 7 8 9; do
  [ ! -e "$dir/n$n.dat" ] || fail "file n$n.dat left behind"
done
out=$(printf 'correct horse\n' | "$vdisk" info "$dir/a.dat")
expect_code 0 $? "existing file left intact"

# A 64-byte password is accepted.
pw64=$(printf '%064d' 7)
printf '%s\n' "$pw64" | "$vdisk" create --size 262144 "$dir/d.dat"
expect_code 0 $? "64-byte password"
printf '%s\n' "$pw64" | "$vdisk" info "$dir/d.dat" >/dev/null
expect_code 0 $? "info with 64-byte password"

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "vdisk: all checks passed"
