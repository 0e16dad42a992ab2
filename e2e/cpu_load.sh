# Sourced by the e2e scripts: a busy loop on every core, for the cases that
# must hold under a loaded machine.
CPU_HOG_PIDS=()

cpu_load_start() {
    local core
    for core in $(seq "$(nproc)"); do
        (while :; do :; done) &
        CPU_HOG_PIDS+=($!)
    done
}

cpu_load_stop() {
    ((${#CPU_HOG_PIDS[@]})) || return 0
    kill "${CPU_HOG_PIDS[@]}" 2>/dev/null || true
    wait "${CPU_HOG_PIDS[@]}" 2>/dev/null || true
    CPU_HOG_PIDS=()
}
