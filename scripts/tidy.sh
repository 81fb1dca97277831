#!/usr/bin/env bash
# Runs clang-tidy with the project's .clang-tidy on the sources listed in scripts/tidy-files.txt
# (or on the files named as arguments), two at a time, with the compile commands of build/
# (./scripts/build.sh makes them). Any finding fails the run. A listed file that this build does
# not compile (XkbLockKeys.cpp without X11) is left out.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
db="$root/build/compile_commands.json"
tidy=$(command -v clang-tidy-14 || command -v clang-tidy || true)
[ -n "$tidy" ] || { echo "zelvor: clang-tidy is not installed (scripts/deps.sh installs it)" >&2; exit 1; }
[ -f "$db" ] || { echo "zelvor: no $db: run ./scripts/build.sh first" >&2; exit 1; }

cd "$root"
if [ $# -gt 0 ]; then
  entries=("$@")
else
  mapfile -t entries < <(sed -e 's/#.*//' -e 's/[[:space:]]*$//' scripts/tidy-files.txt | grep -v '^$')
fi
files=()
for entry in "${entries[@]}"; do
  if [ -d "$entry" ]; then
    for f in "$entry"/*.cpp; do files+=("$f"); done
  elif [ -f "$entry" ]; then
    files+=("$entry")
  else
    echo "zelvor: $entry is listed for clang-tidy but does not exist" >&2; exit 1
  fi
done
checked=()
for f in "${files[@]}"; do
  if grep -q "\"file\": \"$root/$f\"" "$db"; then checked+=("$f"); fi
done

start=$(date +%s)
status=0
printf '%s\n' "${checked[@]}" |
  xargs -P 2 -n 1 "$tidy" -p "$root/build" --quiet 2>/dev/null || status=$?
echo "zelvor: clang-tidy checked ${#checked[@]} files in $(( $(date +%s) - start )) s"
if [ "$status" -ne 0 ]; then
  echo "zelvor: clang-tidy found what .clang-tidy forbids (above)" >&2
  exit 1
fi
