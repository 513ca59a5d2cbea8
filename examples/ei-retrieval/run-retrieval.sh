#!/usr/bin/env bash
# The edge-illumination retrieval demo: sweeps of the analyser without and with the sample,
# the retrieval of transmission, refraction and dark field, and their comparison with the
# truth of the sample planes.
#
#   bash examples/ei-retrieval/run-retrieval.sh BUILD_DIR [WORK_DIR] [--small]
#
# BUILD_DIR holds the built program and tools (`make retrieval-demo` builds them and calls
# this script). WORK_DIR, by default BUILD_DIR/retrieval-demo, receives everything; it is
# emptied first. --small runs the coarser set-up of params-small.txt (the test suite's).
#
# Steps:
#   1. conesim-phantom writes the sample (the demo's three spheres and cylinder, four by four
#      by four sub-samples a voxel), its scattering volume (the weak sphere scatters) and an
#      empty volume of the same size (the flat field's "sample"); conesim-mask the grating.
#   2. conesim-sweep moves the analyser strip (detectorLrOffset) across the beamlets, once
#      with the empty volume (flat field) and once with the sample.
#   3. conesim-retrieve --truth maps the sample planes that the sample sweep computed (in
#      sample/planes, the sweep's own plane folder) onto the detector (at the beamlets, a
#      quarter pixel right of each pixel's centre).
#   4. conesim-retrieve fits the illumination curves and writes the retrieved images.
#   5. conesim-retrieve --compare prints the figures and fails when one misses its bound:
#      refraction correlation at least 0.95 and slope 0.95 to 1.05, dark-field correlation
#      at least 0.9 and slope 0.85 to 1.15, transmission's median relative error below 2 %.
set -euo pipefail

usage() {
    echo "Usage: bash examples/ei-retrieval/run-retrieval.sh BUILD_DIR [WORK_DIR] [--small]" >&2
    echo "  BUILD_DIR: the build folder with conesim and tools/ (for example: build)" >&2
    echo "  WORK_DIR:  where the demo writes its files (default: BUILD_DIR/retrieval-demo)" >&2
    echo "  --small:   the coarse, fast set-up of params-small.txt" >&2
    exit 2
}

fail() {
    echo "run-retrieval: $*" >&2
    exit 1
}

small=0
args=()
for arg in "$@"; do
    case "$arg" in
        --small) small=1 ;;
        -*) usage ;;
        *) args+=("$arg") ;;
    esac
done
[ ${#args[@]} -ge 1 ] && [ ${#args[@]} -le 2 ] || usage

example_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
[ -d "${args[0]}" ] || fail "build folder '${args[0]}' does not exist; build first with: make build"
build_dir=$(cd "${args[0]}" && pwd)
work_dir=${args[1]:-$build_dir/retrieval-demo}

conesim="$build_dir/conesim"
phantom_tool="$build_dir/tools/conesim-phantom"
mask_tool="$build_dir/tools/conesim-mask"
sweep_tool="$build_dir/tools/conesim-sweep"
retrieve_tool="$build_dir/tools/conesim-retrieve"
for program in "$conesim" "$phantom_tool" "$mask_tool" "$sweep_tool" "$retrieve_tool"; do
    [ -x "$program" ] || fail "$program is missing; build first with: make build"
done

# The set-up: the parameter file, the phantom (voxel indices of the demo's shapes, and
# values = attenuation per voxel, both scaled with the voxel size), the grating, and the
# analyser positions.
if [ "$small" -eq 1 ]; then
    params="$example_dir/params-small.txt"
    dims=64x64x32
    shapes=(--sphere 18,20,16,11,0.0186 --sphere 46,20,16,11,0.0014
            --sphere 18,48,16,7,0.008 --cylinder y,48,16,6,0.003,36,62)
    scatter=(--sphere 46,20,16,11,2e-10)
    mask_size=512
    positions=9
else
    params="$example_dir/params.txt"
    dims=128x128x64
    shapes=(--sphere 36,40,32,22,0.0093 --sphere 92,40,32,22,0.0007
            --sphere 36,96,32,14,0.004 --cylinder y,96,32,12,0.0015,72,124)
    scatter=(--sphere 92,40,32,22,5e-11)
    mask_size=1024
    positions=13
fi
spectrum="$example_dir/../edge-illumination/spectrum.txt"
settings="$example_dir/scattering-settings.txt"
for file in "$params" "$spectrum" "$settings"; do
    [ -f "$file" ] || fail "$file is missing"
done

# shellcheck source=examples/demo-steps.sh
source "$example_dir/../demo-steps.sh"
enter_work_dir "$work_dir" .conesim-retrieval-demo

total_start=$(now)
echo "conesim retrieval demo: edge-illumination sweeps, retrieval and truth"
echo "Work folder: $work_dir"
echo

begin "Writing the phantom, the empty volume and the grating"
quiet phantom.log "$phantom_tool" --dims "$dims" -o phantom.bin --supersample 4 "${shapes[@]}"
quiet scatter.log "$phantom_tool" --dims "$dims" -o scatter.bin --supersample 4 "${scatter[@]}"
quiet empty.log "$phantom_tool" --dims "$dims" -o empty.bin
quiet mask.log "$mask_tool" --size "$mask_size" -o pre-grating.pgm --grating 16,3,3
cp "$spectrum" spectrum.txt
cat "$params" "$settings" >sample.txt
sed -e 's/^\(Sample file *= *\)phantom\.bin/\1empty.bin/' -e '/^sampleScatterFile/d' \
    sample.txt >flat.txt
grep -q '^Sample file *= *empty\.bin' flat.txt || fail "could not set the sample file in flat.txt"
end

# Run K of a sweep gets the seed S + K: the flat field's runs 1, 2, ..., the sample's 1001,
# 1002, ..., so that every run has photons of its own and the whole demo repeats exactly.
# Each run uses every core.
sweep="detectorLrOffset=0:0.375:$positions"
begin "Flat-field sweep: $positions analyser positions"
quiet flat.log "$sweep_tool" flat.txt --set "$sweep" -o flat --seed 1 --threads 0
end
begin "Sample sweep: $positions analyser positions"
quiet sample.log "$sweep_tool" sample.txt --set "$sweep" -o sample --seed 1001 --threads 0
end

begin "Truth of the sample planes"
quiet truth.log "$retrieve_tool" --truth sample.txt --planes sample/planes -o truth --at 0.25,0
end
begin "Retrieval"
quiet retrieve.log "$retrieve_tool" flat sample -o retrieved
end
begin "Comparison"
status=0
"$retrieve_tool" --compare retrieved truth -o compared --min-correlation 0.95 --min-slope 0.95 \
    --max-slope 1.05 --min-darkfield-correlation 0.9 --min-darkfield-slope 0.85 \
    --max-darkfield-slope 1.15 --max-error 0.02 >compare.log 2>&1 || status=$?
end

total=$(awk -v a="$total_start" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }')
echo
grep -h '^Retrieved' retrieve.log
cat compare.log
echo
echo "Whole demo: $total s"
echo
echo "Results in $work_dir:"
echo "  flat/, sample/: the two sweeps (stack.raw and .mhd, sweep.csv, each run's images)"
echo "  retrieved/: transmission, refraction, refraction-angle, darkfield (.raw, .mhd, .png)"
echo "  truth/: true-transmission, true-refraction, true-refraction-angle, true-darkfield"
echo "          (.raw, .mhd, .png)"
echo "  compared/: transmission-compared.png, refraction-compared.png (retrieved | true)"
[ "$status" -eq 0 ] || fail "the retrieval missed its figures (see above)"
