# Shared set-up of the end-to-end scripts, sourced once `cli` and `sim` name the command-line tool
# and the simulator: a work folder removed at exit together with a simulator ($simpid) or a tool
# ($clipid) still running, `fail`, the simulator's start and stop, and a data root with cruise CR.

work=$(mktemp -d)
simpid=
clipid=
e2e_cleanup() {
    # Either may have ended already: a failed kill must not stop the clean-up (set -e).
    if [ -n "$clipid" ]; then kill -9 "$clipid" 2>/dev/null || true; fi
    if [ -n "$simpid" ]; then kill "$simpid" 2>/dev/null || true; fi
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap e2e_cleanup EXIT

# fail TEXT: says what failed (with $e2e_label when set) and the end of each output kept in the
# work folder, then exits 1.
fail() {
    echo "FAIL${e2e_label:+ ($e2e_label)}: $*"
    for f in "$work"/*.out; do
        [ -f "$f" ] || continue
        echo "--- $f"
        tail -n 30 "$f"
    done
    exit 1
}

# launch_sim OUT ARGS...: the simulator with ARGS in the background, its device lines in OUT; the
# probe's device in $probe once it is there.
launch_sim() {
    local out=$1
    shift
    "$sim" "$@" >"$out" 2>&1 &
    simpid=$!
    for _ in $(seq 100); do
        grep -q '^probe ' "$out" && break
        sleep 0.05
    done
    probe=$(awk '/^probe /{print $2}' "$out")
    [ -n "$probe" ] || fail "the simulator gave no probe line"
}

stop_sim() {
    kill "$simpid" 2>/dev/null || true
    wait "$simpid" 2>/dev/null || true
    simpid=
}

# new_root: a data root in $root holding the cruise CR.
new_root() {
    root=$work/data
    "$cli" --data-root "$root" -q init >/dev/null
    "$cli" --data-root "$root" -q --yes cruise new CR >/dev/null
}
