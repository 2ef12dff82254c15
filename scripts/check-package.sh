#!/usr/bin/env bash
# check-package.sh BUILD_DIR [PREFIX]: packs a built tree into a Debian
# package in a temporary directory and checks it: the files a plant machine
# needs are in it, its dependencies come from the linked libraries, its
# maintainer scripts are there, and (when systemd-analyze exists) the unit
# passes `systemd-analyze verify`. Exit code 77: skipped (no dpkg tools).
set -euo pipefail
build=$(cd "$1" && pwd)
prefix=${2:-/usr}
for tool in cpack dpkg-deb dpkg-shlibdeps; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool not found: package check skipped"
    exit 77
  fi
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
if ! (cd "$tmp" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1); then
  cat "$tmp/cpack.log"
  exit 1
fi
deb=$(ls "$tmp"/out/serverquirnel_*.deb)
echo "package: $(basename "$deb")"

fail=0
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
p=.${prefix}
for f in "$p/bin/serverquirnel" \
         "$p/lib/systemd/system/serverquirnel.service" \
         "$p/lib/sysusers.d/serverquirnel.conf" \
         "$p/share/man/man1/serverquirnel.1" \
         "$p/share/doc/serverquirnel/README.md" \
         "$p/share/doc/serverquirnel/examples/plant/Server/ServerQuirnel.zezad" \
         "$p/share/doc/serverquirnel/examples/schema/profiledatabase.sql"; do
  if ! grep -qxF "$f" <<<"$contents"; then
    echo "missing in the package: $f"
    fail=1
  fi
done

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libc6 libqt6core6 libqt6sql6 libqt6sql6-sqlite; do
  grep -q "$lib" <<<"$depends" || { echo "dependency not found: $lib"; fail=1; }
done
for script in postinst prerm postrm; do
  dpkg-deb -I "$deb" "$script" >/dev/null 2>&1 || { echo "maintainer script missing: $script"; fail=1; }
done

if command -v systemd-analyze >/dev/null; then
  # The unit as packed, its program taken from the package (verify wants
  # every command to exist).
  dpkg-deb -x "$deb" "$tmp/root"
  mkdir -p "$tmp/unit"
  sed "s|${prefix}/bin/serverquirnel|$tmp/root${prefix}/bin/serverquirnel|" \
    "$tmp/root${prefix}/lib/systemd/system/serverquirnel.service" >"$tmp/unit/serverquirnel.service"
  if ! systemd-analyze verify --man=no "$tmp/unit/serverquirnel.service"; then
    echo "systemd-analyze verify failed"
    fail=1
  fi
else
  echo "systemd-analyze not found: unit not verified"
fi
exit $fail
