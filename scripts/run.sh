#!/usr/bin/env bash
# Installs what is missing, builds Zelvor and starts it in a demo start-up folder
# (build/demo, with sample pictures and one map file) so there is something to open at once.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh" --target zelvor zelvor_make_demo
demo="$root/build/demo"
if [ ! -f "$demo/MAPS/floorplan.map" ]; then
  "$root/build/app/zelvor_make_demo" "$demo" || { echo "zelvor: making the demo folder failed" >&2; exit 1; }
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "zelvor: no display found. Run it under a virtual one, for example:" >&2
  echo "  sudo apt-get install xvfb && xvfb-run -a $0" >&2
  exit 1
fi
cd "$demo"
exec "$root/build/app/zelvor" "$@"
