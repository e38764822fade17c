#!/usr/bin/env bash
# Builds the Debian package from the build tree, unpacks it into a scratch root and runs both
# programs from there. Exit 77 (skipped) when the packaging tools are missing.
set -euo pipefail
build=$1
for tool in cpack dpkg-deb dpkg-shlibdeps file; do
  if ! command -v "$tool" > /dev/null; then
    echo "skipped: $tool not installed (scripts/install-deps.sh installs it)"
    exit 77
  fi
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Its own output folder: the package made here never touches build/packages.
cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" > "$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; exit 1; }
deb=$(ls "$scratch"/out/*.deb)
echo "package: $(basename "$deb")"

fail() { echo "FAIL: $*"; exit 1; }
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = ordertool ] || fail "package name $(field Package)"
depends=$(field Depends)
echo "Depends: $depends"
for dep in libqt6widgets6 libqt6printsupport6 libc6 libsqlite3-0 libfreexl1 qt6-qpa-plugins; do
  [[ "$depends" == *"$dep"* ]] || fail "Depends lacks $dep"
done
recommends=$(field Recommends)
for rec in libqt6sql6-psql libqt6sql6-odbc tdsodbc; do
  [[ "$recommends" == *"$rec"* ]] || fail "Recommends lacks $rec"
done

dpkg-deb -x "$deb" "$scratch/root"
for f in usr/bin/ordertool usr/bin/ordertool-db usr/share/applications/ordertool.desktop \
         usr/share/icons/hicolor/scalable/apps/ordertool.svg; do
  [ -e "$scratch/root/$f" ] || fail "$f not in the package"
done
# No search path into the build tree: the programs find only the system's libraries.
for bin in ordertool ordertool-db; do
  if readelf -d "$scratch/root/usr/bin/$bin" | grep -E 'RPATH|RUNPATH'; then
    fail "$bin carries a library search path"
  fi
done

cd "$scratch"
unset LD_LIBRARY_PATH
"$scratch/root/usr/bin/ordertool" || fail "ordertool without arguments ended with $?"
help=$("$scratch/root/usr/bin/ordertool-db" --help) || fail "ordertool-db --help ended with $?"
[[ "$help" == *"ordertool-db init"* ]] || fail "ordertool-db --help printed: $help"
echo "ok"
