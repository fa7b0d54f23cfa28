#!/usr/bin/env bash
# Copies the relocatable bundle to a fresh directory and proves it stands on
# its own there: every file carries RUNPATH $ORIGIN, every dependency outside
# the C runtime resolves inside the copy, the host tests pass against the copy
# with nothing pointing at the build, and a process that loads it maps every
# bundled library from the copy.
#   test_bundle.sh <bundle dir> <source dir> <qsdk program>
set -euo pipefail
bundle=$1
source=$2
qsdk=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

copy=$tmp/somewhere/else
mkdir -p "$copy"
cp -r "$bundle"/. "$copy"
lib=$copy/libquorvel_sdk_uniffi.so
[ -f "$lib" ] || fail "no libquorvel_sdk_uniffi.so in the bundle"
# The only environment the hosts below get: nothing that points at the build.
clean_env=(env -i PATH=/usr/bin:/bin HOME="$tmp" LANG=C.UTF-8)

# What the target system provides; everything else must come from the copy.
system='^(libc|libm|libmvec|libdl|libpthread|librt|libutil|libresolv)\.so|^ld-linux-x86-64\.so|^linux-vdso\.so'

echo "-- RUNPATH and dependencies of each file"
for f in "$copy"/*; do
  name=$(basename "$f")
  dynamic=$(readelf -d "$f")
  runpath=$(sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p' <<<"$dynamic")
  [ "$runpath" = '$ORIGIN' ] || fail "$name: RUNPATH '$runpath'"
  ! grep -q '(RPATH)' <<<"$dynamic" || fail "$name: has an RPATH"
  while read -r line; do
    dep=${line%% *}
    if [[ "$line" == *"not found"* ]]; then fail "$name: $dep not found"; fi
    [[ "$line" == *" => "* ]] || continue  # the loader itself, the vDSO, "statically linked"
    [[ "$dep" =~ $system ]] && continue
    where=$(sed -n 's/.*=> \(\/[^ ]*\) .*/\1/p' <<<"$line")
    [[ "$where" == "$copy/"* ]] || fail "$name: $dep resolves to '$where', outside the bundle"
  done < <("${clean_env[@]}" ldd "$f")
done
for f in "$copy"/*; do
  n=$(basename "$f")
  [[ "$n" =~ $system ]] && fail "the bundle carries the system library $n"
done
meta=$(nm "$lib" | grep -c ' UNIFFI_META_' || true)
[ "$meta" -eq 35 ] || fail "$meta metadata symbols in the bundled library's symbol table, 35 expected"
echo "$(ls "$copy" | wc -l) files, $(du -sh "$copy" | cut -f1)"

echo "-- a process loading the binding from a wheel-like layout maps every bundled library from the copy"
cp "$source/bindings/python/quorvel_sdk_uniffi.py" "$copy/"
"${clean_env[@]}" python3 - "$copy" <<'PY'
import os, sys
copy = sys.argv[1]
sys.path.insert(0, copy)
import quorvel_sdk_uniffi as sdk  # found next to the module, as in a wheel
assert sdk.normalize_origin("https://Wallet.Example:443/") == "https://wallet.example"
bundled = set(os.listdir(copy))
mapped = {}
with open("/proc/self/maps") as maps:
    for line in maps:
        path = line.split(maxsplit=5)[-1].strip()
        if os.path.basename(path) in bundled:
            mapped.setdefault(os.path.basename(path), set()).add(os.path.dirname(path))
outside = {name: dirs for name, dirs in mapped.items() if dirs != {copy}}
assert not outside, f"loaded from outside the bundle: {outside}"
assert "libquorvel_sdk_uniffi.so" in mapped, "the library was not mapped"
print("mapped from the copy:", ", ".join(sorted(mapped)))
PY

echo "-- the Python binding's tests against the copy"
"${clean_env[@]}" QUORVEL_SDK_UNIFFI_LIB="$lib" python3 -m unittest discover -s "$source/bindings/python/tests" \
  >"$tmp/binding.log" 2>&1 || { cat "$tmp/binding.log"; fail "binding tests"; }
tail -3 "$tmp/binding.log"

echo "-- the qsdk program's tests against the copy"
"${clean_env[@]}" QUORVEL_SDK_UNIFFI_LIB="$lib" QSDK_CLI="$qsdk" python3 -m unittest discover -s "$source/tests/cli" \
  >"$tmp/cli.log" 2>&1 || { cat "$tmp/cli.log"; fail "qsdk tests"; }
tail -3 "$tmp/cli.log"
echo "the bundle works from $copy"
