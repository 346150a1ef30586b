#!/usr/bin/env bash
# Times `kestrow-cli -C` (CRC check on, no tagline) beside cat (the read floor), cksfv -f and
# rhash -c on the same files, warm cache, and prints the ratios and peak memory.
#
#   bench/check-vs-peers.sh [BUILD_DIR]     (default: build)
#
# KESTROW_BENCH_DIR picks the folder for the corpus (default: a fresh temporary folder, removed
# at the end); KESTROW_BENCH_RUNS the number of timed runs per command (best is kept, default 3).
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
cli="$build/bin/kestrow-cli"
runs="${KESTROW_BENCH_RUNS:-3}"
[[ -x "$cli" ]] || { echo "no $cli; build the kestrow-cli target first" >&2; exit 2; }

missing=()
command -v cksfv >/dev/null || missing+=(cksfv)
command -v rhash >/dev/null || missing+=(rhash)
if ((${#missing[@]})); then
    sudo_cmd=()
    [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get install -y "${missing[@]}" >/dev/null
fi

if [[ -n "${KESTROW_BENCH_DIR:-}" ]]; then
    work="$KESTROW_BENCH_DIR"
    mkdir -p "$work"
else
    work="$(mktemp -d "${TMPDIR:-/tmp}/kestrow-bench-XXXXXX")"
    trap 'rm -rf "$work"' EXIT
fi

# Corpus: one release of 40 files of 25 MiB in one SFV; 200 releases of 12 files of 200 KiB,
# each with its SFV, playlist and NFO.
python3 - "$work" <<'PY'
import os, sys, zlib
root = sys.argv[1]
def release(path, count, size, seed):
    os.makedirs(path, exist_ok=True)
    if os.path.exists(os.path.join(path, "release.sfv")):
        return
    lines, names = [], []
    for i in range(count):
        name = "%02d-artist-track_%d.mp3" % (i + 1, seed)
        data = os.urandom(size)
        crc = zlib.crc32(data)
        with open(os.path.join(path, name), "wb") as f:
            f.write(data)
        lines.append("%s %08X" % (name, crc & 0xffffffff))
        names.append(name)
    with open(os.path.join(path, "release.sfv"), "w", newline="\r\n") as f:
        f.write("; generated\n" + "\n".join(lines) + "\n")
    with open(os.path.join(path, "release.m3u"), "w", newline="\r\n") as f:
        f.write("\n".join(names) + "\n")
    with open(os.path.join(path, "release.nfo"), "w") as f:
        f.write("info\n")
release(os.path.join(root, "big", "Big-Release"), 40, 25 << 20, 0)
for r in range(200):
    release(os.path.join(root, "small", "Release-%03d" % r), 12, 200 << 10, r)
PY

cat >"$work/settings.ini" <<'INI'
[GENERAL]
lastProcessOption=2
PrepareCRCCheck=1
GeneratePrepareTagline=0
SuppressAlerts=1
INI

# Best wall time and best CPU time (user + system, seconds) over $runs runs after one warm-up
# run, and the peak resident size (KiB) of the command's largest process. On a busy machine the
# CPU times are the steadier figures.
measure() {
    python3 - "$runs" "$1" "$work/time.out" <<'PY'
import os, subprocess, sys, time
runs, cmd, out = int(sys.argv[1]), sys.argv[2], sys.argv[3]
def once():
    t = time.perf_counter()
    p = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", out, "sh", "-c", cmd],
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, _, usage = os.wait4(p.pid, 0)
    p.returncode = 0
    wall = time.perf_counter() - t
    with open(out) as f:
        peak = max(int(x) for x in f.read().split() if x.isdigit())
    return wall, usage.ru_utime + usage.ru_stime, peak
once()
wall, cpu, peak = zip(*[once() for _ in range(runs)])
print("%.4f %.4f %d" % (min(wall), min(cpu), max(peak)))
PY
}

big="$work/big/Big-Release"
small="$work/small"
q() { printf '%q' "$1"; }

# Prints the row on standard error and returns "wall cpu".
row() {  # label command
    local out wall cpu peak
    out=$(measure "$2")
    read -r wall cpu peak <<<"$out"
    printf '%-34s %8.3f s wall %8.3f s cpu %8d KiB\n' "$1" "$wall" "$cpu" "$peak" >&2
    echo "$wall $cpu"
}

echo "== one release, 40 x 25 MiB (warm cache, best of $runs)" >&2
t_cat=$(row "cat" "cat $(q "$big")/*.mp3 >/dev/null")
t_kcli=$(row "kestrow-cli -C" "$(q "$cli") -C --settings $(q "$work/settings.ini") --color=never $(q "$big")")
t_cksfv=$(row "cksfv -f" "cd $(q "$big") && cksfv -q -f release.sfv")
t_rhash=$(row "rhash -c" "cd $(q "$big") && rhash -c release.sfv")

echo "== 200 releases, 12 x 200 KiB each" >&2
s_cat=$(row "cat" "cat $(q "$small")/*/*.mp3 >/dev/null")
s_kcli=$(row "kestrow-cli -C (200 directories)" "$(q "$cli") -C --settings $(q "$work/settings.ini") --color=never $(q "$small")/*")
s_rhash=$(row "rhash -c -r" "cd $(q "$small") && rhash -c -r .")
s_cksfv=$(row "cksfv -f (one call per release)" "for d in $(q "$small")/*; do (cd \"\$d\" && cksfv -q -f release.sfv); done")

# ratio A B: wall and CPU ratios of two "wall cpu" pairs.
ratio() {
    python3 -c "import sys; a=[float(x) for x in sys.argv[1].split()]; b=[float(x) for x in sys.argv[2].split()]; print('%.2f wall, %.2f cpu' % (a[0]/b[0], a[1]/b[1]))" "$1" "$2"
}
echo "== ratios" >&2
echo "1 GiB release:  kestrow/cat $(ratio "$t_kcli" "$t_cat");  kestrow/rhash $(ratio "$t_kcli" "$t_rhash");  kestrow/cksfv $(ratio "$t_kcli" "$t_cksfv")"
echo "200 releases:   kestrow/rhash $(ratio "$s_kcli" "$s_rhash");  kestrow/cat $(ratio "$s_kcli" "$s_cat");  kestrow/cksfv $(ratio "$s_kcli" "$s_cksfv")"
