# Sourced by the test wrappers that run a program in the background.
# wait_passing_signals PID SIGNAL...: passes each SIGNAL the wrapper gets on
# to PID and returns PID's exit status.
wait_passing_signals() {
    _pid=$1
    shift
    for _sig in "$@"; do
        trap "_passed=1; kill -$_sig $_pid 2>/dev/null" "$_sig"
    done
    # A trapped signal ends `wait` early with 128+N: wait again for the real
    # status, which the shell keeps until it has been waited for (127: it was
    # already, and _st holds it).
    _st=
    while :; do
        _passed=0
        wait "$_pid"
        _got=$?
        [ "$_got" = 127 ] && [ -n "$_st" ] && break
        _st=$_got
        [ "$_passed" = 1 ] || break
    done
    return "$_st"
}
