#!/bin/sh
# Builds the Debian package from the build folder $1, unpacks it into a
# scratch root with dpkg -x (no installation) and runs the installed
# jevhost's tour there, offscreen.  Checks the package's files and declared
# dependencies and the end of the tour.
set -eu
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
(cd "$build" && cpack -G DEB -B "$scratch/pkg" >"$scratch/cpack.log" 2>&1) ||
  { cat "$scratch/cpack.log"; exit 1; }
deb=$(ls "$scratch"/pkg/*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for needed in libqt6widgets6 libsodium zlib1g libstdc++6; do
  echo "$depends" | grep -q "$needed" || { echo "missing dependency $needed"; exit 1; }
done
dpkg-deb -c "$deb" | sed "s/.* \.\//  \//"
dpkg -x "$deb" "$scratch/root"
dir=$scratch/root/usr/lib/jev-schnittstellen
for file in jevhost libzer1.so libsde61.so; do
  test -f "$dir/$file" || { echo "missing $dir/$file"; exit 1; }
done
test -L "$scratch/root/usr/bin/jevhost"
# The installed folder stays as installed: the demo's host runs from its own
# program folder.
chmod -R a-w "$scratch/root"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
  "$scratch/root/usr/bin/jevhost" --tour "$scratch/welt" >"$scratch/tour.log" 2>&1 ||
  { cat "$scratch/tour.log"; exit 1; }
chmod -R u+w "$scratch/root"
cat "$scratch/tour.log"
grep -q "Lagerupdate: 224 Neuanlagen" "$scratch/tour.log"
grep -q "^Rundgang beendet" "$scratch/tour.log"
test -f "$scratch/welt/programm/VUROZE.LIC"
test ! -e "$dir/VUROZE.LIC"
