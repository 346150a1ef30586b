#!/usr/bin/env bash
# Times `kestrow-cli -C` (CRC check on, no tagline) beside cat (the read floor), cksfv -f and
# rhash -c on the same files, warm cache, and prints the ratios and peak memory.
#
#   bench/check-vs-peers.sh [BUILD_DIR]     (default: build)
#
# KESTROW_BENCH_DIR picks the folder for the corpus (default: a fresh temporary folder, removed
# at the end); KESTROW_BENCH_RUNS the number of timed runs per command (best is kept, default 3).
set -euo pipefail

BENCH_BUILD="${1:-}"
source "$(dirname "$0")/lib.sh"
bench_begin bench cksfv rhash

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

big="$work/big/Big-Release"
small="$work/small"
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
echo "== ratios" >&2
echo "1 GiB release:  kestrow/cat $(ratio "$t_kcli" "$t_cat");  kestrow/rhash $(ratio "$t_kcli" "$t_rhash");  kestrow/cksfv $(ratio "$t_kcli" "$t_cksfv")"
echo "200 releases:   kestrow/rhash $(ratio "$s_kcli" "$s_rhash");  kestrow/cat $(ratio "$s_kcli" "$s_cat");  kestrow/cksfv $(ratio "$s_kcli" "$s_cksfv")"
