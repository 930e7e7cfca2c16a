#!/usr/bin/env bash
# scripts/demo-port: a saved port that cannot work is replaced by the virtual PIN pad's, and the user is
# told; one that opens is kept; the other settings stay as they were.
set -euo pipefail
SCRIPT=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

printf '[Log]\nLevel=3\n[Serial]\nPort=/dev/ttyKESTRELNONE9\nParamsString=BAUD=19200\n' >"$dir/a.ini"
out=$("$SCRIPT" "$dir/a.ini" "$dir/link")
[[ $out == *"/dev/ttyKESTRELNONE9 does not exist"*"$dir/link"* ]] || fail "no word of the missing port: $out"
grep -qx "Port=$dir/link" "$dir/a.ini" || fail "the port was not replaced: $(cat "$dir/a.ini")"
grep -qx "ParamsString=BAUD=19200" "$dir/a.ini" && grep -qx "Level=3" "$dir/a.ini" || fail "other keys lost"

mkdir "$dir/folder"
printf '[Serial]\nPort=%s\n' "$dir/folder" >"$dir/b.ini"
out=$("$SCRIPT" "$dir/b.ini" "$dir/link")
[[ $out == *"does not open"* ]] || fail "no word of the port that does not open: $out"
grep -qx "Port=$dir/link" "$dir/b.ini" || fail "a port that does not open was kept"

touch "$dir/works"
printf '[Serial]\nPort=%s\n' "$dir/works" >"$dir/c.ini"
out=$("$SCRIPT" "$dir/c.ini" "$dir/link")
[[ $out == *"keeping your saved port"* ]] || fail "a port that opens was not kept: $out"
grep -qx "Port=$dir/works" "$dir/c.ini" || fail "a port that opens was replaced"

out=$("$SCRIPT" "$dir/none.ini" "$dir/link")
grep -qx "Port=$dir/link" "$dir/none.ini" || fail "no settings file: no port written"
echo "demo-port: ok"
