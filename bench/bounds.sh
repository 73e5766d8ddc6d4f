#!/bin/sh
# Time and peak memory of each hostile input of docs/reliability.md (section
# 4), through this build's qorvan and, when BASELINE names another build
# folder (an older commit built elsewhere), through that one too, in the same
# run, with the ratio. Each run is cut at LIMIT seconds (default 60): a cut
# run prints its time as ">LIMIT". The inputs are made by bench/hostile.py in
# a temporary folder (a sparse library of 2 GiB takes no disk space).
# Printed, never asserted.
# Usage: bench/bounds.sh [BUILD_DIR] [BASELINE_BUILD_DIR]
#   e.g. git worktree add /tmp/old <commit> && cmake -S /tmp/old -B /tmp/old/build ... &&
#        bench/bounds.sh build /tmp/old/build
set -eu
. "$(dirname "$0")/common.sh"
bench_build "${1:-}"
bench_program qorvan
bench_need python3 timeout /usr/bin/time
BASE=
if [ -n "${2:-}" ]; then
    BASE=$2/bin/qorvan
    [ -x "$BASE" ] || bench_fail "no qorvan in $2/bin"
fi
LIMIT=${LIMIT:-60}
bench_work
python3 "$ROOT/bench/hostile.py" "$WORK"
cd "$WORK"

# One run: "seconds peak-KiB exit" of the program with the arguments.
measure() {
    /usr/bin/time -f "%e %M %x" -o time.out timeout "$LIMIT" "$@" >/dev/null 2>err.out || true
    tail -1 time.out
}

show() { # seconds KiB exit
    if [ "$3" = 124 ]; then printf '%9s %8s MB' ">$LIMIT s" "$(($2 / 1024))"; else printf '%7s s %8s MB' "$1" "$(($2 / 1024))"; fi
}

printf '%-36s %-22s %-22s %s\n' input "this build" "baseline" "ratio (time)"
row() { # label, then the command's arguments after qorvan
    label=$1
    shift
    set -- $(measure "$QORVAN" "$@") "$@"
    now="$1 $2 $3"
    shift 3
    printf '%-36s %-22s ' "$label" "$(show $now)"
    if [ -n "$BASE" ]; then
        then_=$(measure "$BASE" "$@")
        printf '%-22s ' "$(show $then_)"
        # A baseline cut at LIMIT took at least that long: the ratio is a floor.
        python3 -c 'import sys; a, b, cut = float(sys.argv[1]), float(sys.argv[2]), sys.argv[3] == "124"
print(("%s%.1fx" % (">" if cut else "", b / a)) if a > 0 else "-")' "${now%% *}" "${then_%% *}" "${then_##* }"
    else
        echo
    fi
}

row "make 500 quadrilaterals (SVG)" make quads500.svg -o out.sld
row "make 1000 quadrilaterals (SVG)" make quads1000.svg -o out.sld
row "make stroke-dasharray 1e-9 (SVG)" make dash.svg -o out.sld
row "make 40000 rules x 40000 elements" make css.svg -o out.sld
row "make HATCH of 500 loops (DXF)" make hatch500.dxf -o out.sld
row "render 65535-vertex fill, exact" render fill65535.sld -o out.png --style exact
row "render 65535-vertex fill, smooth" render fill65535.sld -o out.png --style smooth
row "gallery of that slide" gallery fill65535.sld -d gallery
row "thumbnail sparse 2 GiB library" thumbnail sparse.slb out.png
row "info sparse 2 GiB library" info sparse.slb
row "check sparse 2 GiB library" check sparse.slb
row "diff sparse 2 GiB library" diff sparse.slb sparse.slb
row "dump sparse 2 GiB library" dump sparse.slb -o out.txt
row "salvage 200001 slides -o" salvage salvage.bin -o saved.slb
row "build 100000 entries" build build100k.txt -o built.slb
