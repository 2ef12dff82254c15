#!/usr/bin/env bash
# Builds the Debian packages with dpkg-buildpackage from a copy of the
# working tree in build-deb/src, and checks them:
#   build-deb/serverquirnel_VERSION_ARCH.deb      server without a window, unit, manager
#   build-deb/serverquirnel-gui_VERSION_ARCH.deb  server with the operator window
# (and their -dbgsym packages). lintian must report no error and no warning;
# the packages hold what a plant machine needs, the headless one depends on
# no window toolkit, the unit passes `systemd-analyze verify`, and the
# unpacked executables run. Install with:
#   apt-get install ./build-deb/serverquirnel_*.deb [./build-deb/serverquirnel-gui_*.deb]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh" package

out=$root/build-deb
src=$out/src
rm -rf "$out"
mkdir -p "$src"
# dpkg-buildpackage writes the packages beside the source tree: a copy
# keeps them (and its obj-* build tree) inside build-deb.
tar -C "$root" --anchored --exclude=./.git --exclude='./build*' --exclude='./obj-*' --exclude=./.cache -cf - . |
  tar -C "$src" -xf -

version=$(sed -n 's/^project(serverquirnel VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
changelog=$(cd "$src" && dpkg-parsechangelog -S Version)
if [ "$version" != "$changelog" ]; then
  echo "debian/changelog is at $changelog, CMakeLists.txt at $version: add a changelog entry (dch -v $version)" >&2
  exit 1
fi

(cd "$src" && dpkg-buildpackage -us -uc -b)
arch=$(dpkg-architecture -qDEB_HOST_ARCH)
server=$out/serverquirnel_${version}_${arch}.deb
gui=$out/serverquirnel-gui_${version}_${arch}.deb
changes=$out/serverquirnel_${version}_${arch}.changes

echo "== lintian =="
lintian --fail-on error,warning "$changes"

echo "== checks =="
fail=0
contains() { # deb file...
  local deb=$1 f; shift
  local listing
  listing=$(dpkg-deb -c "$deb" | awk '{print $6}')
  for f in "$@"; do
    grep -qxF "./$f" <<<"$listing" || { echo "$(basename "$deb") lacks /$f"; fail=1; }
  done
}
contains "$server" usr/bin/serverquirnel usr/bin/serverquirnel-manager \
  lib/systemd/system/serverquirnel.service usr/lib/sysusers.d/serverquirnel.conf \
  usr/share/man/man1/serverquirnel.1.gz usr/share/man/man1/serverquirnel-manager.1.gz \
  usr/share/doc/serverquirnel/copyright usr/share/doc/serverquirnel/changelog.gz \
  usr/share/doc/serverquirnel/examples/plant/Server/ServerQuirnel.zezad \
  usr/share/doc/serverquirnel/examples/plant/In/A1001.\$tx \
  usr/share/doc/serverquirnel/examples/profiledatabase.sql \
  usr/share/dbus-1/interfaces/com.quenmark.ServerManager.xml
contains "$gui" usr/bin/serverquirnel-gui usr/share/man/man1/serverquirnel-gui.1.gz \
  usr/share/applications/serverquirnel-gui.desktop usr/share/icons/hicolor/scalable/apps/serverquirnel.svg

# The service machine gets no window toolkit; the SQLite driver is a plugin
# that no linked library names.
depends=$(dpkg-deb -f "$server" Depends)
echo "serverquirnel Depends: $depends"
echo "serverquirnel Recommends: $(dpkg-deb -f "$server" Recommends)"
for lib in libqt6core6 libqt6sql6 libqt6dbus6 libqt6sql6-sqlite; do
  grep -qE "(^|[ ,])$lib([ (,]|$)" <<<"$depends" || { echo "serverquirnel does not depend on $lib"; fail=1; }
done
if grep -qiE 'libqt6(gui|widgets|opengl)|libgl|libopengl|libx11' <<<"$depends"; then
  echo "serverquirnel depends on the window toolkit"
  fail=1
fi
dpkg-deb -f "$server" Recommends | grep -q libqt6sql6-psql || { echo "serverquirnel does not recommend libqt6sql6-psql"; fail=1; }
echo "serverquirnel-gui Depends: $(dpkg-deb -f "$gui" Depends)"

# The service user and the unit are wired in by debhelper, not by hand.
postinst=$(dpkg-deb -I "$server" postinst)
for word in systemd-sysusers serverquirnel.service; do
  grep -q "$word" <<<"$postinst" || { echo "the postinst does not handle $word"; fail=1; }
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
dpkg-deb -x "$server" "$tmp/root"
dpkg-deb -x "$gui" "$tmp/root"
for exe in serverquirnel serverquirnel-gui serverquirnel-manager; do
  if ! v=$("$tmp/root/usr/bin/$exe" --version 2>&1) || ! grep -qF "$version" <<<"$v"; then
    echo "$exe --version from the package: $v"
    fail=1
  fi
done

# The unit as packed, its program taken from the package (verify wants every
# command to exist).
mkdir -p "$tmp/unit"
sed "s|/usr/bin/serverquirnel|$tmp/root/usr/bin/serverquirnel|" \
  "$tmp/root/lib/systemd/system/serverquirnel.service" >"$tmp/unit/serverquirnel.service"
systemd-analyze verify --man=no "$tmp/unit/serverquirnel.service" || { echo "systemd-analyze verify failed"; fail=1; }

[ $fail -eq 0 ] || exit 1
echo "== packages =="
ls "$out"/*.deb
