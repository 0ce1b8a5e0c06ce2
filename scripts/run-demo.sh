#!/usr/bin/env bash
# Sets up a fresh machine, builds the library and the host stand-in and opens
# the interfaces dialog on the demo world in build/demo.  Without a display it
# says so and takes the scripted tour through the dialog instead: the three
# runs offscreen, their messages, pictures in build/demo/bilder/ and a summary
# of what changed in the host's tables.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DZER1_BUILD_TESTS=OFF "${launcher[@]}"
cmake --build build -j2
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "Kein Bildschirm gefunden (DISPLAY ist nicht gesetzt): statt des Dialogs folgt ein Rundgang ohne Bildschirm." >&2
  echo "No display found (DISPLAY is not set): taking the scripted tour through the dialog instead." >&2
  exec build/bin/jevhost --tour build/demo
fi
exec build/bin/jevhost --demo build/demo
