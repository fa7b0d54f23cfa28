#!/usr/bin/env bash
# Installs the built library into a temporary prefix, moves the prefix, and
# builds and runs a small C host against it twice: through pkg-config and
# through find_package(quorvel_sdk_uniffi CONFIG).
#   test_install.sh <build dir> <source dir> [extra C flags for the host]
set -euo pipefail
build=$1
source=$2
host_flags=${3:-}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# --strip on purpose: the install must keep the symbol table regardless.
cmake --install "$build" --prefix "$tmp/prefix" --strip >"$tmp/install.log"
# Nothing may remember where it was installed.
mv "$tmp/prefix" "$tmp/moved"
prefix=$tmp/moved

pc=$(find "$prefix" -name quorvel_sdk_uniffi.pc)
[ -n "$pc" ] || fail "no quorvel_sdk_uniffi.pc installed"
libdir=$(dirname "$(dirname "$pc")")
version=$(sed -n 's/^project(quorvel_sdk_uniffi VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
major=${version%%.*}

echo "-- versioned library"
lib=$libdir/libquorvel_sdk_uniffi.so
[ "$(readlink "$lib")" = "libquorvel_sdk_uniffi.so.$major" ] || fail "development link: $(readlink "$lib")"
[ "$(readlink "$lib.$major")" = "libquorvel_sdk_uniffi.so.$version" ] || fail "SONAME link: $(readlink "$lib.$major")"
[ -f "$lib.$version" ] && [ ! -L "$lib.$version" ] || fail "no real file libquorvel_sdk_uniffi.so.$version"
soname=$(readelf -d "$lib.$version" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
[ "$soname" = "libquorvel_sdk_uniffi.so.$major" ] || fail "SONAME is '$soname'"

echo "-- --strip drops the debug information and keeps the metadata in the static symbol table"
meta=$(nm "$lib.$version" | grep -c ' UNIFFI_META_' || true)
[ "$meta" -eq 35 ] || fail "$meta metadata symbols in the static symbol table, 35 expected"
! readelf -S "$lib.$version" | grep -q '\.debug_info' || fail "debug information left by --strip"

echo "-- licence and third-party notices"
doc=$prefix/share/doc/quorvel_sdk_uniffi
cmp "$doc/LICENSE" "$source/LICENSE" || fail "installed LICENSE differs"
diff -r "$doc/licenses" "$source/licenses" || fail "installed notices differ"

echo "-- header"
cmp "$prefix/include/quorvel_sdk_uniffi.h" "$source/include/quorvel_sdk_uniffi.h" || fail "installed header differs"

run_host() {  # the host must load the installed library, and succeed
  local exe=$1
  local resolved
  resolved=$(ldd "$exe")
  grep -q "libquorvel_sdk_uniffi.so.$major => $libdir/" <<<"$resolved" || fail "$exe does not resolve the installed library"
  [ "$("$exe")" = ok ] || fail "$exe failed"
}

echo "-- pkg-config"
export PKG_CONFIG_PATH=$libdir/pkgconfig
[ "$(pkg-config --modversion quorvel_sdk_uniffi)" = "$version" ] || fail "pkg-config version"
# shellcheck disable=SC2046,SC2086
${CC:-cc} $host_flags -Wall -Werror "$source/tests/package/consumer/host.c" -o "$tmp/host_pc" \
  $(pkg-config --cflags --libs quorvel_sdk_uniffi) -Wl,-rpath,"$libdir"
run_host "$tmp/host_pc"

echo "-- CMake package"
cmake -S "$source/tests/package/consumer" -B "$tmp/consumer" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_C_FLAGS="$host_flags -Wall -Werror" >"$tmp/configure.log" || { cat "$tmp/configure.log"; fail "configure"; }
cmake --build "$tmp/consumer" >"$tmp/build.log" || { cat "$tmp/build.log"; fail "build"; }
run_host "$tmp/consumer/consumer"
echo "installed library works through pkg-config and CMake"
