#!/usr/bin/env bash
# The edge-illumination CT demo: a phantom of three rods (aluminium, PMMA, and PMMA that
# scatters) turned over 180 degrees, a flat-field and a sample scan of the analyser, the
# retrieval of transmission, refraction and dark-field sinograms, their reconstruction into
# attenuation, refractive index and scattering volumes, and the comparison with the truth.
#
#   bash examples/ct/run-ct.sh BUILD_DIR [WORK_DIR] [--angles N] [--photons N] [--small]
#
# BUILD_DIR holds the built program and tools (`make ct-demo` builds them and calls this
# script). WORK_DIR, by default BUILD_DIR/ct-demo, receives everything; it is emptied first.
# --angles N sets the number of projections over 180 degrees (default 48), --photons N the
# photons of each run (default 12000000); --small runs the test suite's cut-down scan (24
# angles, noisier: its central slices need only correlate to 0.9 and its regions' means lie
# within 10 %; the test holds the aluminium and PMMA rods to 5 %).
#
# Steps:
#   1. conesim-phantom writes the label volume (materials.txt gives each label its
#      material) and an empty volume; conesim-mask the grating.
#   2. conesim-sweep moves the analyser strip across the beamlets without the sample (the
#      flat field), and with it at every angle (--over-open sampleRotation=0:180:N): the
#      planes are made once per angle and read by the other positions.
#   3. conesim-retrieve turns the scans into sinograms (one slice per angle).
#   4. conesim-recon reconstructs the three volumes, writes the truth on the same grid and
#      compares them; the demo fails when a rod's attenuation, refractive index or
#      scattering is more than 5 % off or the central slice's correlation of attenuation or
#      refractive index with the truth is below 0.95.
set -euo pipefail

usage() {
    echo "Usage: bash examples/ct/run-ct.sh BUILD_DIR [WORK_DIR] [--angles N] [--photons N] [--small]" >&2
    exit 2
}

fail() {
    echo "run-ct: $*" >&2
    exit 1
}

angles=48
positions=7
least_correlation=0.95
largest_error=0.05
photons=12000000
args=()
while [ $# -gt 0 ]; do
    case "$1" in
        --angles)
            [ $# -ge 2 ] || usage
            angles=$2
            shift
            ;;
        --photons)
            [ $# -ge 2 ] || usage
            photons=$2
            shift
            ;;
        --small)
            angles=24
            least_correlation=0.9
            largest_error=0.1
            ;;
        -*) usage ;;
        *) args+=("$1") ;;
    esac
    shift
done
[ ${#args[@]} -ge 1 ] && [ ${#args[@]} -le 2 ] || usage
[[ "$angles" =~ ^[0-9]+$ ]] && [ "$angles" -ge 2 ] || fail "--angles needs a whole number of at least 2"
[[ "$photons" =~ ^[0-9]+$ ]] && [ "$photons" -ge 10 ] || fail "--photons needs a whole number of at least 10"

example_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
[ -d "${args[0]}" ] || fail "build folder '${args[0]}' does not exist; build first with: make build"
build_dir=$(cd "${args[0]}" && pwd)
work_dir=${args[1]:-$build_dir/ct-demo}

conesim="$build_dir/conesim"
phantom_tool="$build_dir/tools/conesim-phantom"
mask_tool="$build_dir/tools/conesim-mask"
sweep_tool="$build_dir/tools/conesim-sweep"
retrieve_tool="$build_dir/tools/conesim-retrieve"
recon_tool="$build_dir/tools/conesim-recon"
for program in "$conesim" "$phantom_tool" "$mask_tool" "$sweep_tool" "$retrieve_tool" \
    "$recon_tool"; do
    [ -x "$program" ] || fail "$program is missing; build first with: make build"
done
for file in params.txt materials.txt spectrum.txt; do
    [ -f "$example_dir/$file" ] || fail "$example_dir/$file is missing"
done

# shellcheck source=examples/demo-steps.sh
source "$example_dir/../demo-steps.sh"
enter_work_dir "$work_dir" .conesim-ct-demo

total_start=$(now)
echo "conesim CT demo: $angles angles over 180 degrees, $positions analyser positions each"
echo "Work folder: $work_dir"
echo

begin "Writing the phantom, the empty volume and the grating"
# Labels: 1 aluminium, 2 PMMA, 3 PMMA that scatters; rods along y, within the circle that
# the rotation keeps in the grid.
quiet phantom.log "$phantom_tool" --dims 64x8x64 --labels -o phantom.bin \
    --cylinder y,18,32,10,1 --cylinder y,46,32,10,2 --cylinder y,32,48,8,3
quiet empty.log "$phantom_tool" --dims 64x8x64 --labels -o empty.bin
quiet mask.log "$mask_tool" --size 2304 -o grating.pgm --grating 16,3,3
cp "$example_dir/materials.txt" "$example_dir/spectrum.txt" .
sed -e "s/^\(Photons to run *= *\)[0-9]*/\1$photons/" "$example_dir/params.txt" >sample.txt
sed -e 's/^\(Sample file *= *\)phantom\.bin/\1empty.bin/' sample.txt >flat.txt
grep -q '^Sample file *= *empty\.bin' flat.txt || fail "could not set the sample file in flat.txt"
end

sweep="detectorLrOffset=0:0.375:$positions"
begin "Flat-field scan: $positions analyser positions"
quiet flat.log "$sweep_tool" flat.txt --set "$sweep" -o flat --seed 1 --threads 0
end
begin "Sample scan: $angles angles x $positions positions"
quiet sample.log "$sweep_tool" sample.txt --over-open "sampleRotation=0:180:$angles" \
    --set "$sweep" -o sample --seed 1001 --threads 0
end
begin "Retrieval of the sinograms"
quiet retrieve.log "$retrieve_tool" flat sample -o sinograms --model gaussian
end
begin "Reconstruction"
quiet recon.log "$recon_tool" sinograms sample.txt -o recon --at 0.25,0 --filter hann
end
begin "Truth on the same grid"
quiet truth.log "$recon_tool" --truth sample.txt -o truth
end
begin "Comparison"
status=0
"$recon_tool" --compare recon truth --labels sample.txt --max-error "$largest_error" \
    >compare.log 2>&1 || status=$?
end
# The correlations of mu and delta on the central slice (the dark field's is printed too).
for volume in mu delta; do
    awk -v v="$volume" -v least="$least_correlation" \
        '$1 == v ":" && $4 + 0 < least + 0 { bad = 1 } END { exit bad }' compare.log ||
        { echo "the $volume correlation is below $least_correlation" >>compare.log; status=1; }
done

total=$(awk -v a="$total_start" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }')
echo
grep -h '^Filled\|^Retrieved' retrieve.log || true
cat compare.log
echo
echo "Whole demo: $total s"
echo
echo "Results in $work_dir:"
echo "  flat/, sample/: the scans (stack.raw and .mhd, sweep.csv, each run's images and record)"
echo "  sinograms/: transmission, refraction, refraction-angle, darkfield sinograms, angles.txt"
echo "  recon/: the reconstructed volumes (.raw, .mhd), central slices (.png), geometry.json"
echo "  truth/: the true volumes on the same grid"
[ "$status" -eq 0 ] || fail "the reconstruction missed its figures (see above)"
