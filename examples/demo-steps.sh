# Shared by the example scripts (sourced, not run): the work folder, timed steps and quiet
# tool runs. The sourcing script defines fail() first.

# Makes $1 the work folder and enters it. It is emptied only when it is new, empty or an
# earlier run's folder of the same script, which the marker file $2 names.
enter_work_dir() {
    local dir=$1 marker=$2
    mkdir -p "$dir"
    work_dir=$(cd "$dir" && pwd)
    if [ -n "$(ls -A "$work_dir")" ] && [ ! -f "$work_dir/$marker" ]; then
        fail "$work_dir is not empty and was not made by this demo; choose another WORK_DIR"
    fi
    find "$work_dir" -mindepth 1 -delete
    touch "$work_dir/$marker"
    cd "$work_dir"
}

now() { date +%s.%N; }
step_start=0
begin() {
    printf '%-58s' "$1"
    step_start=$(now)
}
end() {
    awk -v a="$step_start" -v b="$(now)" 'BEGIN { printf " %6.2f s\n", b - a }'
}

# Runs one step quietly; its output is kept in the log $1 and its end shown when it fails.
quiet() {
    local log=$1 status=0
    shift
    "$@" >"$log" 2>&1 </dev/null || status=$?
    if [ "$status" -ne 0 ]; then
        echo
        tail -n 40 "$log" >&2
        fail "'$*' failed (exit status $status); its output is above and in $work_dir/$log"
    fi
}
