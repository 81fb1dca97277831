#!/usr/bin/env bash
# Builds the Debian package from a finished build (`cpack -G DEB`) and checks it, offline:
# lintian with no error and no warning; the file list against tests/packaging/manifest.txt; the
# dependencies, and that apt could install it (simulated); the changelog's version; the desktop
# entry, the AppStream data, the icons' sizes; the manual pages through man's own warnings; the
# completions through each shell's syntax check; every command and option of the programs'
# --help in their manual page and bash completion, and the bash completion offering the commands
# and --format values; and the installed programs, unpacked into a scratch root, answering
# --version without a display.
# Usage: scripts/check-package.sh [BUILD-DIR]   (default: build/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
failures=0
fail() { echo "zelvor: package check failed: $*" >&2; failures=$((failures + 1)); }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

echo "zelvor: making the Debian package"
cmake --build "$build" >"$scratch/build.log" 2>&1 \
  || { cat "$scratch/build.log" >&2; echo "zelvor: the build failed" >&2; exit 1; }
rm -rf "$build/package"
(cd "$build" && cpack -G DEB -B "$build/package" >"$scratch/cpack.log" 2>&1) \
  || { cat "$scratch/cpack.log" >&2; echo "zelvor: cpack failed" >&2; exit 1; }
debs=("$build"/package/zelvor_*.deb)
[ -f "${debs[0]}" ] && [ ${#debs[@]} -eq 1 ] || { echo "zelvor: cpack made no single .deb" >&2; exit 1; }
deb=${debs[0]}
echo "zelvor: checking $(basename "$deb")"

# Policy. Nothing is overridden; an override would go in packaging/debian/lintian-overrides
# (installed as share/lintian/overrides/zelvor), one tag a line, each after a comment saying why.
lintian --fail-on error,warning --tag-display-limit 0 "$deb" || fail "lintian"

# The files, and what the package asks for.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\.\//, "/", $6); print $6 }' | sort >"$scratch/files"
sed "s|@MULTIARCH@|$(dpkg-architecture -qDEB_HOST_MULTIARCH)|" "$root/tests/packaging/manifest.txt" \
  | diff -u - "$scratch/files" || fail "the file list differs from tests/packaging/manifest.txt"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Section)" = graphics ] || fail "Section is '$(field Section)'"
# (Outputs are captured before grep reads them: with pipefail, grep -q ending a pipe early
# would fail the pipe.)
depends=$(field Depends | tr ',' '\n')
for dep in libqt6widgets6 libqt6gui6 libc6 qt6-qpa-plugins; do
  grep -q "^ *$dep\b" <<<"$depends" || fail "Depends lacks $dep: $(field Depends)"
done
changelog=$(dpkg-parsechangelog -l "$root/packaging/debian/changelog" -S Version)
[ "$changelog" = "$(field Version)" ] || fail "the changelog's newest version is $changelog"
grep -q qt6-image-formats-plugins <<<"$(field Recommends)" || fail "Recommends lacks qt6-image-formats-plugins"
# Installable here: apt resolves every dependency (simulated: nothing is installed or fetched).
apt-get install -s "$deb" >"$scratch/apt.log" 2>&1 \
  || { cat "$scratch/apt.log" >&2; fail "apt-get cannot install the package"; }

# The installed tree.
tree="$scratch/root"
dpkg-deb -x "$deb" "$tree"
share="$tree/usr/share"
desktop-file-validate "$share"/applications/*.desktop || fail "desktop-file-validate"
appstreamcli validate-tree --no-net "$tree" >"$scratch/appstream" 2>&1 \
  || { cat "$scratch/appstream" >&2; fail "appstreamcli validate-tree"; }
for png in "$share"/icons/hicolor/*/apps/*.png; do
  size=$(basename "$(dirname "$(dirname "$png")")")
  read -r w1 w2 w3 w4 h1 h2 h3 h4 < <(od -An -tu1 -j16 -N8 "$png")
  actual="$(( (w1 << 24) + (w2 << 16) + (w3 << 8) + w4 ))x$(( (h1 << 24) + (h2 << 16) + (h3 << 8) + h4 ))"
  [ "$actual" = "$size" ] || fail "$png is $actual"
done
for program in zelvor zelvor-maps; do
  # No display and no Qt platform: --version must not need them.
  version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$tree/usr/bin/$program" --version) \
    || fail "installed $program --version failed"
  first=${version%%$'\n'*}
  [[ $first =~ ^$program\ \(Zelvor\)\ [0-9.]+$ ]] || fail "installed $program --version says '$first'"
  dynamic=$(readelf -d "$tree/usr/bin/$program")
  if grep -Eq 'RPATH|RUNPATH' <<<"$dynamic"; then fail "$program has a run path"; fi
done

# Manual pages, as lintian reads them.
for page in "$share"/man/man1/*.1.gz; do
  LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" \
    >/dev/null 2>"$scratch/man-warnings" || fail "man cannot format $page"
  [ ! -s "$scratch/man-warnings" ] || { cat "$scratch/man-warnings" >&2; fail "man warns about $page"; }
done

# Completions.
completions="$share/bash-completion/completions"
for f in "$completions"/*; do bash -n "$f" || fail "bash -n $f"; done
for f in "$share"/zsh/vendor-completions/*; do zsh -n "$f" || fail "zsh -n $f"; done
for f in "$share"/fish/vendor_completions.d/*; do fish -n "$f" || fail "fish -n $f"; done

# Every command and option of --help is in the manual page and the bash completion.
export QT_QPA_PLATFORM=offscreen
maps="$tree/usr/bin/zelvor-maps"
commands=$("$maps" --help | awk '/^Commands:/ { on = 1; next } on && /^  [a-z]/ { print $1 } /^$/ { on = 0 }')
[ -n "$commands" ] || fail "zelvor-maps --help lists no commands"
check_words() { # program help-text
  local program=$1 text=$2 page words word
  page=$(MANWIDTH=200 man -l "$share/man/man1/$program.1.gz" 2>/dev/null)
  words=$(grep -oE -- '--[a-z][a-z-]*' <<<"$text" | sort -u)
  [ "$program" = zelvor-maps ] && words+=$'\n'"$commands"
  for word in $words; do
    grep -qF -- "$word" <<<"$page" || fail "$program: '$word' of --help is not in the manual page"
    grep -qwF -- "$word" "$completions/$program" || fail "$program: '$word' of --help is not in the bash completion"
  done
}
check_words zelvor "$(QT_QPA_PLATFORM= "$tree/usr/bin/zelvor" --help)"
maps_help=$("$maps" --help)
for command in $commands; do maps_help+=$'\n'$("$maps" "$command" --help); done
check_words zelvor-maps "$maps_help"

# The bash completion, driven as bash drives it.
complete_words() { # words... (the last one is being completed)
  bash -c 'source /usr/share/bash-completion/bash_completion
           source "$1/zelvor-maps"; shift
           COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
           _zelvor_maps zelvor-maps "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
           printf "%s\n" "${COMPREPLY[@]}" | sort' _ "$completions" "$@"
}
offered=$(complete_words zelvor-maps '' | grep -v '^-' || true)
[ "$offered" = "$(sort <<<"$commands")" ] || fail "bash completes the commands as '$offered'"
offered=$(complete_words zelvor-maps list --format '' | tr '\n' ' ')
[ "$offered" = "csv json table " ] || fail "bash completes --format as '$offered'"

if [ "$failures" -ne 0 ]; then
  echo "zelvor: $failures package check(s) failed" >&2
  exit 1
fi
echo "zelvor: the package passed every check"
