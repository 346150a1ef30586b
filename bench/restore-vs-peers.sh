#!/usr/bin/env bash
# Times `kestrow-cli -R` (CRC check on, no tagline) on prepared releases beside cat over the same
# files (the read floor) and `rhash -c -r` checking them, warm cache, and prints the ratios and
# peak memory. A copy of the big release whose files were renamed by hand (no backup data) is
# restored with RestoreWithoutBackupData: every file is read once, for the matching, and the
# post-analysis takes the CRCs from there. Every timed restore works on a fresh hard-linked copy of the prepared corpus (the
# copy is made before the clock starts; lists are rewritten through new files, so the prepared
# corpus is never changed).
#
#   bench/restore-vs-peers.sh [BUILD_DIR]     (default: build)
#
# KESTROW_BENCH_DIR picks the folder for the corpus (default: a fresh temporary folder, removed
# at the end); KESTROW_BENCH_RUNS the number of timed runs per command (best is kept, default 3).
set -euo pipefail

BENCH_BUILD="${1:-}"
source "$(dirname "$0")/lib.sh"
bench_begin restore-bench rhash

# Corpus: one release of 40 files of 25 MiB; 200 releases of 12 files of 200 KiB; every file
# name too long for the 64-character limit, so that the prepare renames each of them.
python3 - "$work" <<'PY'
import os, sys, zlib
root = sys.argv[1]
def release(path, count, size, seed):
    os.makedirs(path, exist_ok=True)
    if os.path.exists(os.path.join(path, "release.sfv")):
        return
    lines, names = [], []
    for i in range(count):
        name = "%02d-an_artist_with_a_long_name-a_track_title_far_too_long_to_burn_%d.mp3" % (i + 1, seed)
        data = os.urandom(size)
        with open(os.path.join(path, name), "wb") as f:
            f.write(data)
        lines.append("%s %08X" % (name, zlib.crc32(data) & 0xffffffff))
        names.append(name)
    with open(os.path.join(path, "release.sfv"), "w", newline="\r\n") as f:
        f.write("; generated\n" + "\n".join(lines) + "\n")
    with open(os.path.join(path, "release.m3u"), "w", newline="\r\n") as f:
        f.write("\n".join(names) + "\n")
    with open(os.path.join(path, "release.nfo"), "w") as f:
        f.write("info\n")
release(os.path.join(root, "orig", "big", "Big-Release"), 40, 25 << 20, 0)
for r in range(200):
    release(os.path.join(root, "orig", "small", "Release-%03d" % r), 12, 200 << 10, r)
PY

cat >"$work/settings.ini" <<'INI'
[GENERAL]
PrepareCRCCheck=0
GeneratePrepareTagline=0
ConfirmChanges=0
prepareBackupTo=2
Truncate=1
TruncateMaxChars=64
RestoreTruncated=1
RestoreCRCCheck=1
GenerateRestoreTagline=0
SuppressAlerts=1
INI

sed 's/^RestoreTruncated=1/RestoreTruncated=1\nRestoreWithoutBackupData=1/' "$work/settings.ini" >"$work/nobackup.ini"

if [[ ! -d "$work/handrenamed" ]]; then
    # Renamed as someone with `mv` would: short names that look nothing like the listed ones.
    cp -al "$work/orig/big" "$work/handrenamed"
    n=0
    for f in "$work/handrenamed/Big-Release/"*.mp3; do
        n=$((n + 1))
        mv "$f" "$work/handrenamed/Big-Release/track $n.mp3"
    done
fi

if [[ ! -d "$work/prepared" ]]; then
    # Renaming a hard link leaves the original's name alone, and lists are rewritten as new files.
    cp -al "$work/orig" "$work/prepared"
    "$cli" -P --settings "$work/settings.ini" --color=never "$work/prepared/big/"* "$work/prepared/small/"* \
        >/dev/null || true
fi

fresh="rm -rf $(q "$work/run") && cp -al $(q "$work/prepared") $(q "$work/run")"


echo "== one prepared release, 40 x 25 MiB (warm cache, best of $runs)" >&2
t_cat=$(row "cat" "cat $(q "$work/prepared/big/")*/*.mp3 >/dev/null")
t_kcli=$(row "kestrow-cli -R" "$(q "$cli") -R --settings $(q "$work/settings.ini") --color=never $(q "$work/run/big/")*" "$fresh")

freshhand="rm -rf $(q "$work/runhand") && cp -al $(q "$work/handrenamed") $(q "$work/runhand")"
t_hand=$(row "kestrow-cli -R (renamed by hand)" "$(q "$cli") -R --settings $(q "$work/nobackup.ini") --color=never $(q "$work/runhand/")*" "$freshhand")

echo "== 200 prepared releases, 12 x 200 KiB each" >&2
s_rhash=$(row "rhash -c -r (original names)" "cd $(q "$work/orig/small") && rhash -c -r .")
s_kcli=$(row "kestrow-cli -R (one call)" "$(q "$cli") -R --settings $(q "$work/settings.ini") --color=never $(q "$work/run/small/")*" "$fresh")

echo "== ratios" >&2
echo "1 GiB release:  kestrow -R/cat $(ratio "$t_kcli" "$t_cat")"
echo "1 GiB release renamed by hand, no backup data:  kestrow -R/cat $(ratio "$t_hand" "$t_cat")"
echo "200 releases:   kestrow -R/rhash -c -r $(ratio "$s_kcli" "$s_rhash")"
