#!/usr/bin/env bash
# Times `kestrow-cli` on archives of many releases and on one release of many files, beside
# `rhash -c -r` on the same files (warm cache, tiny files, so that the per-directory and per-file
# work shows), and prints best times, peak memory and the growth ratios.
#
#   bench/scale.sh [BUILD_DIR]     (default: build)
#
# KESTROW_BENCH_DIR picks the folder for the inputs (default: a fresh temporary folder, removed
# at the end); KESTROW_BENCH_RUNS the number of timed runs per command (best is kept, default 3);
# KESTROW_BENCH_FOLDERS the archive sizes (default "2000 8000 32000"); KESTROW_BENCH_FILES the
# number of files of the one big release (default 20000).
set -euo pipefail

BENCH_BUILD="${1:-}"
source "$(dirname "$0")/lib.sh"
bench_begin scale rhash
folder_counts="${KESTROW_BENCH_FOLDERS:-2000 8000 32000}"
file_count="${KESTROW_BENCH_FILES:-20000}"

# Archives: N release folders of one 1 KiB track and its SFV. One release of $file_count 4 KiB
# tracks in one SFV, named so that a cut to 64 characters shortens every name and no two cut
# names meet.
python3 - "$work" "$file_count" $folder_counts <<'PY'
import os, sys, zlib
root, files, counts = sys.argv[1], int(sys.argv[2]), [int(x) for x in sys.argv[3:]]
def release(path, names, size):
    os.makedirs(path, exist_ok=True)
    if os.path.exists(os.path.join(path, "release.sfv")):
        return
    lines = []
    for name in names:
        data = os.urandom(size)
        with open(os.path.join(path, name), "wb") as f:
            f.write(data)
        lines.append("%s %08X" % (name, zlib.crc32(data) & 0xffffffff))
    with open(os.path.join(path, "release.sfv"), "w", newline="\r\n") as f:
        f.write("; generated\n" + "\n".join(lines) + "\n")
for n in counts:
    for r in range(n):
        release(os.path.join(root, "archive-%d" % n, "Artist-Release-%05d-2026" % r), ["01-artist-track.mp3"], 1024)
tail = "-the_artist_with_a_long_name-the_title_of_this_track_which_goes_on_and_on.mp3"
release(os.path.join(root, "many", "Artist-Many_Tracks-2026"), ["%05d%s" % (i, tail) for i in range(files)], 4096)
PY

cat >"$work/check.ini" <<'INI'
[GENERAL]
lastProcessOption=2
PrepareCRCCheck=1
GeneratePrepareTagline=0
SuppressAlerts=1
INI
cat >"$work/prepare.ini" <<'INI'
[GENERAL]
lastProcessOption=1
PrepareCRCCheck=1
GeneratePrepareTagline=0
ConfirmChanges=0
prepareBackupTo=2
Truncate=1
TruncateMaxChars=64
preserveGrptag=0
SuppressAlerts=1
INI

kcheck() { echo "$(q "$cli") -C --settings $(q "$work/check.ini") --color=never $(q "$1")"; }

echo "== release folders of one 1 KiB file (best of $runs; wall and CPU are separate minima)" >&2
declare -A k r
for n in $folder_counts; do
    archive="$work/archive-$n"
    k[$n]=$(row "kestrow-cli -C, $n folders" "$(kcheck "$archive")")
    r[$n]=$(row "rhash -c -r, $n folders" "cd $(q "$archive") && rhash -c -r .")
done

many="$work/many/Artist-Many_Tracks-2026"
echo "== one folder of $file_count listed 4 KiB files" >&2
kc=$(row "kestrow-cli -C" "$(kcheck "$many")")
rc=$(row "rhash -c" "cd $(q "$many") && rhash -c release.sfv")
pristine="$work/many-pristine"
[[ -d "$pristine" ]] || cp -a "$work/many" "$pristine"
kp=$(row "kestrow-cli -P, every name cut" \
    "$(q "$cli") -P --settings $(q "$work/prepare.ini") --color=never $(q "$many")" \
    "rm -rf $(q "$work/many") && cp -a $(q "$pristine") $(q "$work/many") && sync")

echo "== goals" >&2
python3 - "$folder_counts" "$kc" "$rc" "$kp" "$(for n in $folder_counts; do echo "$n ${k[$n]} ${r[$n]}"; done)" <<'PY'
import sys
counts = [int(x) for x in sys.argv[1].split()]
kc, rc, kp = ([float(x) for x in a.split()] for a in sys.argv[2:5])
rows = {}
for line in sys.argv[5].splitlines():
    f = line.split()
    rows[int(f[0])] = ([float(x) for x in f[1:4]], [float(x) for x in f[4:7]])
for n in counts:
    (kw, kcpu, kpeak), (rw, rcpu, _) = rows[n]
    print("%6d folders: kestrow/rhash %.2f wall, %.2f cpu; %.1f us wall per folder; peak %.1f MiB"
          % (n, kw / rw, kcpu / rcpu, kw / n * 1e6, kpeak / 1024))
lo, hi = min(counts), max(counts)
if lo != hi:
    print("per-folder wall time, %d vs %d folders: %.2fx (cpu %.2fx)"
          % (hi, lo, (rows[hi][0][0] / hi) / (rows[lo][0][0] / lo), (rows[hi][0][1] / hi) / (rows[lo][0][1] / lo)))
print("one folder -C: kestrow/rhash %.2f wall, %.2f cpu; peak %.1f MiB" % (kc[0] / rc[0], kc[1] / rc[1], kc[2] / 1024))
print("one folder -P, every name cut: %.3f s wall, %.3f s cpu; peak %.1f MiB" % (kp[0], kp[1], kp[2] / 1024))
PY
