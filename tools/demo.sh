#!/usr/bin/env bash
# The demo job: makes a synthetic 20000 x 10000 panorama in ./demo/ (once), converts it to KRO
# and crops a 4000 x 3000 rectangle out of it as an LZW TIFF with `tavmor`, then lists what it
# wrote. Usage: tools/demo.sh BUILD_DIR   (run.sh calls it when there is no display)
set -uo pipefail

if [ $# -ne 1 ]; then
    echo "Usage: $0 BUILD_DIR" >&2
    exit 2
fi
build="$1"
genimage="$build/tools/tavmor-genimage"
tavmor="$build/cli/tavmor"
demo="./demo"
input="$demo/panorama.tif"
out="$demo/out"
width=20000
height=10000
# The panorama (600 MB), its KRO copy (800 MB) and the crop, with some room to spare.
need_mb=2000

human() { numfmt --to=iec-i --suffix=B "$1" 2>/dev/null || echo "$1 B"; }

free_mb=$(df -Pm "$(dirname "$(realpath -m "$demo")")" 2>/dev/null | awk 'NR == 2 { print $4 }')
if [ -n "$free_mb" ] && [ "$free_mb" -lt "$need_mb" ]; then
    echo "The demo needs about $need_mb MB of free disk space; only $free_mb MB are free." >&2
    exit 1
fi

mkdir -p "$out/converted" "$out/cropped" || exit 1

if [ -f "$input" ]; then
    echo "Using the existing $input"
else
    if [ ! -x "$genimage" ]; then
        echo "$genimage is missing: build the target tavmor-genimage first." >&2
        exit 1
    fi
    echo "Making $input ($width x $height, 8-bit RGB) ..."
    # Written under a temporary name so an interrupted run does not leave a partial panorama
    # that the next run would take for a finished one.
    if ! "$genimage" "$input.part.tif" --width "$width" --height "$height" --bits 8 --channels 3 \
        --format tif --pattern panorama --quiet; then
        rm -f "$input.part.tif"
        echo "Could not make the panorama." >&2
        exit 1
    fi
    mv "$input.part.tif" "$input"
fi

if [ ! -x "$tavmor" ]; then
    echo "Note: $tavmor is not built yet, so the demo stops after making the panorama."
    exit 0
fi

failed=0
# Runs one tavmor command when this build has it; a missing command is a note, not a failure.
step() {
    local title="$1" command="$2"
    shift 2
    echo
    echo "== $title"
    if ! "$tavmor" "$command" --help >/dev/null 2>&1; then
        echo "Note: this build of tavmor has no '$command' command yet; skipped."
        return 0
    fi
    echo "\$ tavmor $command $*"
    if ! "$tavmor" "$command" "$@"; then
        echo "tavmor $command failed." >&2
        failed=1
    fi
}

step "Convert to KRO" convert "$input" --format kro --out "$out/converted" --yes
step "Crop 4000 x 3000 at (8000, 3500) to an LZW TIFF" crop "$input" --x 8000 --y 3500 \
    --width 4000 --height 3000 --format tif-lzw --out "$out/cropped" --yes

# Pixel size and depth as tavmor reads the file back ("" when it cannot).
image_of() {
    local json
    json=$("$tavmor" info --json "$1" 2>/dev/null) || return 0
    field() { sed -n "s/.*\"$1\":\([0-9]*\).*/\1/p" <<<"$json"; }
    [ -n "$(field width)" ] &&
        echo "$(field width) x $(field height), $(field bits)-bit, $(field channels) channels"
}

show() {
    local size
    size=$(stat -c %s "$1")
    printf '  %-36s %13s bytes %9s  %s\n' "$1" "$size" "($(human "$size"))" "$(image_of "$1")"
}

echo
echo "== Files"
show "$input"
found=0
while IFS= read -r -d '' f; do
    show "$f"
    found=1
done < <(find "$out" -type f -print0 | sort -z)
[ "$found" = 1 ] || echo "  (nothing in $out)"

exit "$failed"
