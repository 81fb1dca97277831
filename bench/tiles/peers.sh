#!/bin/sh
# Time to first view and peak memory of picture viewers on the same big files, Zelvor among
# them, each under the same Xvfb display: from the start until a window of the viewer shows the
# picture (sampled with `import`), and the peak resident memory from /usr/bin/time -v.
# The pictures it makes itself are a sine pattern whose green and blue are flat (80, 200): a
# view of one counts once a tenth of the window has those colours, so menus, toolbars, a
# spinner or an error page do not count. For pictures named on the command line, a window
# showing more than one flat colour counts, which any window with a toolbar does at once.
# A viewer that shows nothing within the timeout is "no view"; one that exits is "failed".
#
#   bench/tiles/peers.sh [picture ...]
#
# Without pictures it makes a gigapixel JPEG (ZELVOR_PEER_MEGAPIXELS, 1000 by default) and the
# same as a pyramidal TIFF with vips, in a temporary folder it removes afterwards. Viewers not
# installed are skipped; ZELVOR is the Zelvor binary (build/app/zelvor by default).
set -u
here=$(cd "$(dirname "$0")/../.." && pwd)
zelvor=${ZELVOR:-$here/build/app/zelvor}
timeout=${ZELVOR_PEER_TIMEOUT:-60}
display=:91
for tool in Xvfb xdotool import convert /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "needs $tool" >&2; exit 2; }
done

work=$(mktemp -d /tmp/zelvor-peers-XXXXXX)
trap 'kill "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1
export DISPLAY=$display

if [ $# -eq 0 ]; then
    command -v vips >/dev/null || { echo "needs vips to make the pictures" >&2; exit 2; }
    mp=${ZELVOR_PEER_MEGAPIXELS:-1000}
    side=$(awk "BEGIN { printf \"%d\", sqrt($mp * 1000000) }")
    vips sines "$work/s.v" "$side" "$side" --hfreq 40 --vfreq 30 --uchar
    vips bandjoin_const "$work/s.v" "$work/big.jpg[Q=90]" "80 200"
    rm -f "$work/s.v"
    vips tiffsave "$work/big.jpg" "$work/big-pyramid.tif" --tile --pyramid \
        --compression jpeg --Q 90 --bigtiff
    set -- "$work/big.jpg" "$work/big-pyramid.tif"
    pattern=1
fi

# Whether the window `id` shows the picture (see above).
shows_picture() {
    if [ -n "${pattern:-}" ]; then
        share=$(import -window "$1" -depth 8 png:- 2>/dev/null |
                convert png:- -sample 192x108! \
                    -fx 'abs(g-80/255)<0.08 && abs(b-200/255)<0.08' \
                    -format '%[fx:mean]' info: 2>/dev/null)
        [ -n "$share" ] && awk "BEGIN { exit !($share > 0.1) }"
    else
        spread=$(import -window "$1" -depth 8 png:- 2>/dev/null |
                 convert png:- -format '%[fx:standard_deviation]' info: 2>/dev/null)
        [ -n "$spread" ] && awk "BEGIN { exit !($spread > 0.02) }"
    fi
}

# Viewers start in the work folder: Zelvor keeps its maps (MAPS/) in the folder it starts in.
cd "$work" || exit 2

# Seconds since the epoch, with fractions.
now() { date +%s.%N; }

# One viewer on one file: prints "viewer file first-view peak".
measure() {
    name=$1; file=$2; shift 2
    out="$work/time.$$"
    start=$(now)
    # A viewer that would take more memory than the machine has fails instead of starving it.
    (ulimit -v "${ZELVOR_PEER_VMEM_KB:-16000000}"; XDG_CACHE_HOME="$work/cache" exec /usr/bin/time -v -o "$out" "$@" "$file") >/dev/null 2>&1 &
    wrapper=$!
    view="no view"
    deadline=$(awk "BEGIN { printf \"%.3f\", $start + $timeout }")
    while :; do
        pid=$(pgrep -P "$wrapper" | head -n 1)
        if ! kill -0 "$wrapper" 2>/dev/null; then view="failed"; break; fi
        if [ -n "$pid" ]; then
            for id in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
                if shows_picture "$id"; then
                    view=$(awk "BEGIN { printf \"%.2f s\", $(now) - $start }")
                    break 2
                fi
            done
        fi
        if awk "BEGIN { exit !($(now) > $deadline) }"; then break; fi
        sleep 0.05
    done
    if [ -n "${pid:-}" ]; then
        kill "$pid" 2>/dev/null
        for _ in 1 2 3 4 5 6 7 8 9 10; do kill -0 "$pid" 2>/dev/null && sleep 0.5; done
        kill -9 "$pid" 2>/dev/null # one that does not end on TERM
    fi
    wait "$wrapper" 2>/dev/null
    peak=$(awk -F': ' '/Maximum resident/ { printf "%d MB", $2 / 1024 }' "$out" 2>/dev/null)
    printf '| %s | %s | %s | %s |\n' "$name" "$(basename "$file")" "$view" "${peak:-?}"
    rm -f "$out"
}

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "| viewer | file | first view | peak memory |"
echo "|---|---|---|---|"
for file in "$@"; do
    [ -x "$zelvor" ] && measure zelvor "$file" "$zelvor"
    command -v feh >/dev/null && measure feh "$file" feh -g 1920x1080 --scale-down
    command -v qimgv >/dev/null && measure qimgv "$file" qimgv
    command -v eog >/dev/null && measure eog "$file" eog
    command -v gwenview >/dev/null && measure gwenview "$file" gwenview
done
