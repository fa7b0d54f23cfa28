#!/usr/bin/env bash
# Copies the relocatable bundle to a fresh directory and proves it stands on
# its own there: it fits the size a wheel or mobile package can carry, every
# library carries RUNPATH $ORIGIN, every dependency outside the system's
# runtime resolves inside the copy, the interface and URL/IDNA conformance
# suites and the host tests pass against the copy with nothing pointing at
# the build, a process that loads it maps every bundled library from the
# copy, and a copy missing a file says which.
#   test_bundle.sh <bundle dir> <source dir> <qsdk program> <interface test program>
set -euo pipefail
bundle=$1
source=$2
qsdk=$3
ffi_tests=$4
max_bytes=$((10 * 1024 * 1024))
max_archive_bytes=$((5 * 1024 * 1024))
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
system='^(libc|libm|libmvec|libdl|libpthread|librt|libutil|libresolv|libstdc\+\+|libgcc_s)\.so|^ld-linux-x86-64\.so|^linux-vdso\.so'

echo "-- size"
(cd "$copy" && find . -type f -printf '%s\t%P\n' | sort -rn)
bytes=$(du -sb --apparent-size "$copy" | cut -f1)
tar -czf "$tmp/bundle.tar.gz" -C "$copy" .
archive_bytes=$(stat -c %s "$tmp/bundle.tar.gz")
echo "$bytes bytes, $archive_bytes as .tar.gz"
((bytes <= max_bytes)) || fail "the bundle takes $bytes bytes, more than $max_bytes"
((archive_bytes <= max_archive_bytes)) || fail "the bundle packs to $archive_bytes bytes, more than $max_archive_bytes"

echo "-- licence and notices"
[ -s "$copy/LICENSE" ] || fail "no LICENSE in the bundle"
for notice in OpenSSL ICU libsecp256k1 Crypto++ RapidJSON GCC-runtime; do
  [ -s "$copy/licenses/$notice.txt" ] || fail "no notice for $notice in the bundle"
done

echo "-- RUNPATH and dependencies of each library"
for f in "$copy"/*.so*; do
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
for f in "$copy"/*.so*; do
  n=$(basename "$f")
  [[ "$n" =~ $system ]] && fail "the bundle carries the system library $n"
done
meta=$(nm "$lib" | grep -c ' UNIFFI_META_' || true)
[ "$meta" -eq 35 ] || fail "$meta metadata symbols in the bundled library's symbol table, 35 expected"
sections=$(readelf -S "$lib")
! grep -q '\.debug_info' <<<"$sections" || fail "the bundled library carries its debug information"
grep -q '\.gnu_debuglink' <<<"$sections" || fail "the bundled library does not name its debug file"

echo "-- the interface and URL/IDNA conformance suites against the copy"
# The suite's own process takes ICU from the copy too, so that the
# conformance cases meet the bundle's trimmed ICU data.
"${clean_env[@]}" LD_LIBRARY_PATH="$copy" QUORVEL_SDK_UNIFFI_LIB="$lib" "$ffi_tests" >"$tmp/ffi.log" 2>&1 ||
  { cat "$tmp/ffi.log"; fail "interface tests"; }
! grep -q '\[  SKIPPED \]' "$tmp/ffi.log" || { grep SKIPPED "$tmp/ffi.log"; fail "interface tests skipped"; }
tail -1 "$tmp/ffi.log"

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
echo "-- a copy missing a library names it"
# Every bundled library also exists on this build machine, where the loader
# would fall back to it; a dependency renamed to one found nowhere stands for
# a file missing from the copy on a system that lacks it.
partial=$tmp/partial
cp -r "$copy" "$partial"
missing=libsecp256k1-absent.so.1
patchelf --replace-needed libsecp256k1.so.1 "$missing" "$partial/libquorvel_sdk_uniffi.so"
! out=$("${clean_env[@]}" python3 -c 'import sys; sys.path.insert(0, sys.argv[1]); import quorvel_sdk_uniffi' \
    "$partial" 2>&1) || fail "the binding loaded a bundle without $missing"
grep -q "$missing" <<<"$out" || { echo "$out"; fail "the binding's error does not name $missing"; }
! out=$("${clean_env[@]}" QUORVEL_SDK_UNIFFI_LIB="$partial/libquorvel_sdk_uniffi.so" "$qsdk" normalize-origin \
    --origin https://a.example 2>&1) || fail "qsdk ran on a bundle without $missing"
grep -q "$missing" <<<"$out" || { echo "$out"; fail "qsdk's error does not name $missing"; }
echo "$out"
echo "the bundle works from $copy"
