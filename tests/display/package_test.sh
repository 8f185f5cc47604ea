#!/usr/bin/env bash
# Builds the Debian package from this build, unpacks it into a temporary root, checks its
# layout and starts the installed game through its launcher on a virtual display.
set -eu
build=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" >cpack.log 2>&1) || {
  cat "$work/cpack.log" >&2
  exit 1
}
deb=$(ls "$work"/*.deb)
echo "package: $(basename "$deb") ($(du -h "$deb" | cut -f1))"
dpkg-deb --info "$deb" | grep -E 'Package|Depends' | sed 's/^ */  /'
dpkg-deb -x "$deb" "$work/root"
for f in usr/bin/vantor usr/lib/vantor/vantor usr/lib/vantor/lamp.x usr/lib/vantor/Textures/back.tga \
  usr/lib/vantor/tables/table.x usr/lib/vantor/Sounds/menu.wav usr/share/applications/vantor.desktop \
  usr/share/icons/hicolor/256x256/apps/vantor.png; do
  [ -e "$work/root/$f" ] || {
    echo "FAIL: the package has no $f" >&2
    exit 1
  }
done
"$here/vantor_run.sh" "$work/root/usr/bin/vantor"
