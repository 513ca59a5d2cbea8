#!/usr/bin/env bash
# The conesim demo: an edge-illumination phase-contrast set-up, run twice.
#
#   bash examples/run-demo.sh BUILD_DIR [WORK_DIR]
#
# BUILD_DIR holds the built program (BUILD_DIR/conesim) and the companion tools
# (BUILD_DIR/tools/conesim-*); `make demo` builds both and calls this script. WORK_DIR, by
# default BUILD_DIR/demo, receives everything the demo makes; it is emptied first.
#
# Steps:
#   1. conesim-phantom writes the sample (three spheres and a cylinder), conesim-mask the
#      pre-sample grating; the parameter file and spectrum come from
#      examples/edge-illumination/.
#   2. Run A, mode 3: the sample planes are computed from the volume; the detector's
#      sensitive strip covers the left half of every beamlet.
#   3. Run B, mode 5: the planes that run A left are read back; the strip covers the right
#      half of every beamlet, so every refraction fringe changes sign.
#   4. The laboratory variant of runs A and B, mode 5, with the extension settings of
#      examples/edge-illumination/laboratory.txt appended: a micro-focus tube's focal spot,
#      an energy from the spectrum per photon, a little detector blur; half the photons.
#   5. conesim-sum adds A and B, and the two laboratory runs: together the two strips see
#      the whole beamlet, which leaves mostly the attenuation.
#   6. conesim-png turns the final images and the planes into PNGs.
set -euo pipefail

usage() {
    echo "Usage: bash examples/run-demo.sh BUILD_DIR [WORK_DIR]" >&2
    echo "  BUILD_DIR: the build folder with conesim and tools/ (for example: build)" >&2
    echo "  WORK_DIR:  where the demo writes its files (default: BUILD_DIR/demo)" >&2
    exit 2
}

fail() {
    echo "run-demo: $*" >&2
    exit 1
}

[ $# -ge 1 ] && [ $# -le 2 ] || usage

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
example_dir="$script_dir/edge-illumination"
[ -d "$1" ] || fail "build folder '$1' does not exist; build first with: make build"
build_dir=$(cd "$1" && pwd)
work_dir=${2:-$build_dir/demo}

conesim="$build_dir/conesim"
phantom_tool="$build_dir/tools/conesim-phantom"
mask_tool="$build_dir/tools/conesim-mask"
png_tool="$build_dir/tools/conesim-png"
sum_tool="$build_dir/tools/conesim-sum"
for program in "$conesim" "$phantom_tool" "$mask_tool" "$png_tool" "$sum_tool"; do
    [ -x "$program" ] || fail "$program is missing; build first with: make build"
done
for file in params.txt spectrum.txt laboratory.txt materials.txt tube-spectrum.txt \
    materials-settings.txt; do
    [ -f "$example_dir/$file" ] || fail "$example_dir/$file is missing"
done

# shellcheck source=examples/demo-steps.sh
source "$script_dir/demo-steps.sh"
enter_work_dir "$work_dir" .conesim-demo

# Runs conesim; prints its run number. The console output goes to the log given.
run_conesim() {
    local params=$1 log=$2 status=0
    "$conesim" "$params" >"$log" 2>&1 </dev/null || status=$?
    if [ "$status" -ne 0 ]; then
        echo >&2
        tail -n 20 "$log" >&2
        fail "conesim $params ended with exit status $status; see $work_dir/$log"
    fi
    local run
    run=$(sed -n 's/^Run number \([0-9][0-9]*\)$/\1/p' "$log" | head -n 1)
    [ -n "$run" ] || fail "no run number in $work_dir/$log"
    echo "$run"
}

total_start=$(now)
echo "conesim demo: edge-illumination phase contrast"
echo "Work folder: $work_dir"
echo

# ---- 1. Inputs ----
# The phantom: 128 x 128 x 64 voxels of 10 micrometres. Voxel values are attenuation per
# voxel (the parameter file's value scale of 1000 turns them into attenuation coefficients
# in 1/cm, from which the refractive indices follow):
#   aluminium-like sphere, radius 22 voxels, 9.3/cm: strong attenuation, strong refraction;
#   plastic (PMMA-like) sphere, radius 22, 0.7/cm: almost no attenuation, clear fringes;
#   glass-like sphere, radius 14, 4/cm;
#   a vertical cylinder (along y), radius 12, 1.5/cm, in the lower right quarter.
begin "Writing the phantom (conesim-phantom)"
quiet phantom.log "$phantom_tool" --dims 128x128x64 -o phantom.bin \
    --sphere 36,40,32,22,0.0093 \
    --sphere 92,40,32,22,0.0007 \
    --sphere 36,96,32,14,0.004 \
    --cylinder y,96,32,12,0.0015,72,124
end

# The pre-sample grating: 1024 x 1024 pixels; period 8 pixels, which projects onto one
# detector column; 3 clear pixels per period starting at pixel 1 of each period, so that
# each beamlet lands in the right half of its detector pixel (pixel fractions 0 to 0.5
# counted from the pixel's centre; see the parameter file).
# The materials variant's label volume: water (label 1) across the beam, a PMMA rod (2) and
# an aluminium sphere (3) in it.
begin "Writing the label phantom of the materials variant"
quiet phantom.log "$phantom_tool" --dims 128x128x64 --labels -o phantom-labels.bin \
    --box 4,4,0,123,123,63,1 \
    --cylinder y,40,32,22,2,10,118 \
    --sphere 92,64,32,18,3
end

begin "Writing the pre-sample grating (conesim-mask)"
quiet mask.log "$mask_tool" --size 1024 -o pre-grating.pgm --grating 8,3,1
end

cp "$example_dir/spectrum.txt" spectrum.txt
cp "$example_dir/params.txt" params-a.txt
# Run B: run mode 5 (read the planes run A left) and the sensitive strip moved from the
# left quarter of each pixel (offset 0) to the second quarter (offset 0.25).
sed -e 's/^\(Run mode *= *\)3/\15/' \
    -e 's/^\(Detector sensitive LR offset *= *\)[0-9.]*/\10.25/' params-a.txt >params-b.txt
grep -q '^Run mode *= *5' params-b.txt || fail "could not set the run mode in params-b.txt"
grep -q '^Detector sensitive LR offset *= *0.25' params-b.txt ||
    fail "could not set the sensitive-strip offset in params-b.txt"
# The laboratory runs: A and B in mode 5 (the planes of run A), half the photons, with the
# laboratory's extension settings after their END line.
lab_photons=3000000
for run in a b; do
    sed -e 's/^\(Run mode *= *\)3/\15/' \
        -e "s/^\\(Photons to run *= *\\)[0-9][0-9]*/\\1$lab_photons/" \
        params-$run.txt >params-lab-$run.txt
    cat "$example_dir/laboratory.txt" >>params-lab-$run.txt
    grep -q "^Photons to run *= *$lab_photons" params-lab-$run.txt ||
        fail "could not set the photons to run in params-lab-$run.txt"
done
# The materials variant: A in mode 3 (its own planes, from the label volume), B in mode 5,
# each with the materials settings after its END line.
cp "$example_dir/materials.txt" materials.txt
cp "$example_dir/tube-spectrum.txt" tube-spectrum.txt
mat_photons=3000000
for run in a b; do
    sed -e "s/^\\(Photons to run *= *\\)[0-9][0-9]*/\\1$mat_photons/" \
        -e 's/^\(Sample file *= *\)[^ ;]*/\1phantom-labels.bin/' \
        -e 's/^\(Spectrum file *= *\)[^ ;]*/\1tube-spectrum.txt/' \
        params-$run.txt >params-mat-$run.txt
    cat "$example_dir/materials-settings.txt" >>params-mat-$run.txt
    grep -q '^Sample file *= *phantom-labels.bin' params-mat-$run.txt ||
        fail "could not set the sample file in params-mat-$run.txt"
done
mkdir out

# ---- 2. and 3. The two runs ----
begin "Run A: mode 3, planes from the volume, strip offset 0"
run_a=$(run_conesim params-a.txt run-a.log)
end
begin "Run B: mode 5, stored planes, strip offset 0.25"
run_b=$(run_conesim params-b.txt run-b.log)
end

# ---- 4. The laboratory variant ----
begin "Laboratory run A: focal spot, photon energies, blur"
run_lab_a=$(run_conesim params-lab-a.txt run-lab-a.log)
end
begin "Laboratory run B: the same, strip offset 0.25"
run_lab_b=$(run_conesim params-lab-b.txt run-lab-b.log)
end

# ---- 4b. The materials variant, its planes in a folder of their own ----
begin "Materials run A: labels, xraylib, gold grating, CsI, tube spectrum"
mkdir -p planes-materials
run_mat_a=$(run_conesim params-mat-a.txt run-mat-a.log)
end
begin "Materials run B: the same, strip offset 0.25"
run_mat_b=$(run_conesim params-mat-b.txt run-mat-b.log)
end

# ---- 5. Sums of the two strips ----
begin "Adding A and B, and the laboratory runs (conesim-sum)"
quiet sum.log "$sum_tool" --params params-a.txt -o out/sum-a-b \
    "out/Final.$run_a.dat" "out/Final.$run_b.dat"
quiet sum.log "$sum_tool" --params params-a.txt -o out/sum-lab-a-b \
    "out/Final.$run_lab_a.dat" "out/Final.$run_lab_b.dat"
quiet sum.log "$sum_tool" --params params-a.txt -o out/sum-mat-a-b \
    "out/Final.$run_mat_a.dat" "out/Final.$run_mat_b.dat"
end

# ---- 6. PNGs ----
# The final images are shown from 0 to twice the open-beam level (an image's mean count is
# about photonsToRun / pixel count) so that the bright fringes do not set the scale.
photons=$(sed -n 's/^Photons to run *= *\([0-9][0-9]*\).*/\1/p' params-a.txt)
open_level=$((photons / (128 * 128)))
lab_level=$((lab_photons / (128 * 128)))
begin "Writing PNGs (conesim-png)"
mkdir png
quiet png.log "$png_tool" "out/Final.$run_a.dat" --params params-a.txt -o png/final-a.png \
    --min 0 --max $((2 * open_level))
quiet png.log "$png_tool" "out/Final.$run_b.dat" --params params-b.txt -o png/final-b.png \
    --min 0 --max $((2 * open_level))
quiet png.log "$png_tool" out/sum-a-b.dat --params params-a.txt -o png/sum-a-b.png \
    --min 0 --max $((4 * open_level))
quiet png.log "$png_tool" "out/Final.$run_lab_a.dat" --params params-lab-a.txt \
    -o png/lab-final-a.png --min 0 --max $((2 * lab_level))
quiet png.log "$png_tool" "out/Final.$run_lab_b.dat" --params params-lab-b.txt \
    -o png/lab-final-b.png --min 0 --max $((2 * lab_level))
quiet png.log "$png_tool" out/sum-lab-a-b.dat --params params-a.txt -o png/lab-sum-a-b.png \
    --min 0 --max $((4 * lab_level))
mat_level=$((mat_photons / (128 * 128)))
quiet png.log "$png_tool" "out/Final.$run_mat_a.dat" --params params-mat-a.txt \
    -o png/mat-final-a.png --min 0 --max $((2 * mat_level))
quiet png.log "$png_tool" "out/Final.$run_mat_b.dat" --params params-mat-b.txt \
    -o png/mat-final-b.png --min 0 --max $((2 * mat_level))
quiet png.log "$png_tool" out/sum-mat-a-b.dat --params params-a.txt -o png/mat-sum-a-b.png \
    --min 0 --max $((4 * mat_level))
quiet png.log "$png_tool" planes-materials/Z_iLR-PRE.pca --params params-mat-a.txt \
    -o png/mat-deflection-lr.png
quiet png.log "$png_tool" Z_iLR-PRE.pca --params params-a.txt -o png/deflection-lr.png
quiet png.log "$png_tool" Z_iUD-PRE.pca --params params-a.txt -o png/deflection-ud.png
quiet png.log "$png_tool" Z_ref-PRE.pca --params params-a.txt -o png/attenuation-plane.png
end

total=$(awk -v a="$total_start" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }')
echo
grep -h '^Detector scored' run-a.log | sed "s/^/Run A (run number $run_a): /"
grep -h '^Detector scored' run-b.log | sed "s/^/Run B (run number $run_b): /"
grep -h '^Detector scored' run-lab-a.log | sed "s/^/Laboratory run A (run number $run_lab_a): /"
grep -h '^Detector scored' run-lab-b.log | sed "s/^/Laboratory run B (run number $run_lab_b): /"
grep -h '^Detector scored' run-mat-a.log | sed "s/^/Materials run A (run number $run_mat_a): /"
grep -h '^Detector scored' run-mat-b.log | sed "s/^/Materials run B (run number $run_mat_b): /"
echo
echo "Whole demo: $total s"
echo
echo "Results in $work_dir:"
echo "  out/Final.$run_a.pgm and .dat: run A (strip on the left half of each beamlet)"
echo "  out/Final.$run_b.pgm and .dat: run B (strip on the right half: fringes reversed)"
echo "  out/sum-a-b.pgm and .dat: A + B (mostly attenuation)"
echo "  out/Final.$run_lab_a.pgm, out/Final.$run_lab_b.pgm and .dat: the laboratory runs A and B"
echo "  out/sum-lab-a-b.pgm and .dat: laboratory A + B"
echo "  out/Logger.txt: the run log of all runs; run-a.log, run-b.log, run-lab-a.log,"
echo "    run-lab-b.log: their console output"
echo "  Z_ref-PRE.pca, Z_iLR-PRE.pca, Z_iUD-PRE.pca: the collapsed planes (read by run B);"
echo "    planes-materials/: the materials variant's planes, Z_thick-PRE.pca among them"
echo "  png/final-a.png, png/final-b.png, png/sum-a-b.png: the three detector images"
echo "  png/lab-final-a.png, png/lab-final-b.png, png/lab-sum-a-b.png: the same, laboratory"
echo "  png/mat-final-a.png, png/mat-final-b.png, png/mat-sum-a-b.png: the same, materials;"
echo "    png/mat-deflection-lr.png: its LR deflection plane (the phase model)"
echo "  png/deflection-lr.png, png/deflection-ud.png: the LR and UD deflection planes"
echo "  png/attenuation-plane.png: the attenuation plane"
