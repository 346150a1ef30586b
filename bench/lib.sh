# Shared by the whole-program benchmarks; sourced after `set -euo pipefail`.
#
#   bench_begin NAME [PEER...]   sets here, build (from $1 of the script), cli, runs and work (the
#                                corpus folder: KESTROW_BENCH_DIR, or a temporary one removed at
#                                exit), and installs the peer programs that are missing
#   row LABEL COMMAND [RESET]    times COMMAND, prints a row on standard error, outputs
#                                "wall cpu peak"
#   q WORD                       WORD quoted for a shell command line

bench_begin() {  # name [peer...]
    local name=$1
    shift
    here="$(cd "$(dirname "${BASH_SOURCE[1]}")/.." && pwd)"
    build="${BENCH_BUILD:-$here/build}"
    cli="$build/bin/kestrow-cli"
    runs="${KESTROW_BENCH_RUNS:-3}"
    [[ -x "$cli" ]] || { echo "no $cli; build the kestrow-cli target first" >&2; exit 2; }
    local missing=() peer
    for peer in "$@"; do command -v "$peer" >/dev/null || missing+=("$peer"); done
    [[ -x /usr/bin/time ]] || missing+=(time)
    if ((${#missing[@]})); then
        local sudo_cmd=()
        [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
        "${sudo_cmd[@]}" apt-get install -y "${missing[@]}" >/dev/null
    fi
    if [[ -n "${KESTROW_BENCH_DIR:-}" ]]; then
        work="$KESTROW_BENCH_DIR"
        mkdir -p "$work"
    else
        work="$(mktemp -d "${TMPDIR:-/tmp}/kestrow-$name-XXXXXX")"
        trap 'rm -rf "$work"' EXIT
    fi
}

q() { printf '%q' "$1"; }

# Best wall time and best CPU time (user + system, seconds) over $runs runs after one warm-up
# run, and the largest peak resident size (KiB). On a busy machine the CPU times are the steadier
# figures. A reset command, untimed, runs before each run.
measure() {  # command [reset]
    python3 - "$runs" "$1" "${2:-}" "$work/time.out" <<'PY'
import os, subprocess, sys, time
runs, cmd, reset, out = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
def once():
    if reset:
        subprocess.run(["sh", "-c", reset], check=True)
    t = time.perf_counter()
    p = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", out, "sh", "-c", cmd],
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, _, usage = os.wait4(p.pid, 0)
    wall = time.perf_counter() - t
    with open(out) as f:
        peak = max(int(x) for x in f.read().split() if x.isdigit())
    return wall, usage.ru_utime + usage.ru_stime, peak
once()
wall, cpu, peak = zip(*[once() for _ in range(runs)])
print("%.4f %.4f %d" % (min(wall), min(cpu), max(peak)))
PY
}

row() {  # label command [reset]
    local out wall cpu peak
    out=$(measure "$2" "${3:-}")
    read -r wall cpu peak <<<"$out"
    printf '%-44s %8.3f s wall %8.3f s cpu %8d KiB\n' "$1" "$wall" "$cpu" "$peak" >&2
    echo "$wall $cpu $peak"
}

ratio() {  # "wall cpu ..." "wall cpu ..."
    python3 -c "import sys; a=[float(x) for x in sys.argv[1].split()]; b=[float(x) for x in sys.argv[2].split()]; print('%.2f wall, %.2f cpu' % (a[0]/b[0], a[1]/b[1]))" "$1" "$2"
}
