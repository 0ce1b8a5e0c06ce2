#!/usr/bin/env bash
# Sets up a fresh machine, builds the library and the host stand-in and opens the
# interfaces dialog on the demo data.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZER1_BUILD_TESTS=OFF
cmake --build build -j2
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "Kein Bildschirm gefunden (DISPLAY ist nicht gesetzt): der Dialog kann hier nicht angezeigt werden." >&2
  echo "No display found (DISPLAY is not set): start this command inside a desktop session." >&2
  exit 2
fi
exec build/bin/jevhost --demo build/demo
