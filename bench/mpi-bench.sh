#!/usr/bin/env bash
# Whole runs of set-up B with the MPI build: one process of one thread, then two processes
# of one thread under mpirun, each with the same seed (the same image), in photons per
# second of the whole run.
#   bash bench/mpi-bench.sh BENCH_DIR MPI_DIR
set -euo pipefail
bench_dir=$(cd "$1" && pwd)
mpi_dir=$(cd "$2" && pwd)
photons=67108864
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/out"
"$bench_dir/bench/bench_write_setup" "$work" "$photons"
cd "$work"
run() {
    local start end
    start=$(date +%s.%N)
    "$@" > /dev/null
    end=$(date +%s.%N)
    echo "$photons / ($end - $start) / 1000000" | bc -l | xargs printf '%.2f M photons/s\n'
}
printf 'set-up B, %s photons, 1 process of 1 thread:  ' "$photons"
run "$mpi_dir/conesim" --threads 1 --seed 1 params.txt one
printf 'set-up B, %s photons, mpirun -n 2 of 1 thread: ' "$photons"
run mpirun --oversubscribe --allow-run-as-root -n 2 "$mpi_dir/conesim" --threads 1 --seed 1 \
    params.txt two
cmp -s out/one.1.dat out/two.1.dat && echo "the same image from 1 and 2 processes"
