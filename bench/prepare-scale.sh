#!/usr/bin/env bash
# Times one `kestrow-cli -P` over a folder of many listed 4 KiB files whose names all need a cut:
# once cut to names that stay apart, once to the same name (every file after the first numbered).
# The whole pass is timed (check, planning, backup data, lists, renames); bench/plan_bench times
# the planning alone.
#
#   bench/prepare-scale.sh [BUILD_DIR] [FILES]     (defaults: build, 20000)
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$here/build}" && pwd)"
files="${2:-20000}"
cli="$build/bin/kestrow-cli"
[[ -x "$cli" ]] || { echo "no $cli; build the kestrow-cli target first" >&2; exit 2; }

work="$(mktemp -d "${TMPDIR:-/tmp}/kestrow-prepare-scale-XXXXXX")"
[[ -n "${KESTROW_KEEP:-}" ]] || trap 'rm -rf "$work"' EXIT

printf '[GENERAL]\r\nlastProcessOption=1\r\nPrepareCRCCheck=1\r\nGeneratePrepareTagline=0\r\nConfirmChanges=0\r\nprepareBackupTo=2\r\nTruncate=1\r\nTruncateMaxChars=40\r\npreserveGrptag=1\r\n[GTAGS]\r\nGRP=GRP\r\n' \
    >"$work/settings.ini"

python3 - "$work" "$files" <<'PY'
import os, sys, zlib
root, count = sys.argv[1], int(sys.argv[2])
for shape in ("distinct", "colliding"):
    folder = os.path.join(root, shape)
    os.makedirs(folder)
    sfv, m3u = [], []
    for i in range(count):
        if shape == "distinct":
            name = "%05d-an_artist_with_a_long_name-a_long_title-grp.mp3" % i
        else:
            name = "01-an_artist_with_a_long_name-the_same_long_title-%05d-grp.mp3" % i
        data = i.to_bytes(4, "little") * 1024
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
        sfv.append("%s %08X\r\n" % (name, zlib.crc32(data)))
        m3u.append(name + "\r\n")
    with open(os.path.join(folder, "album.sfv"), "w", newline="") as f:
        f.write("".join(sfv))
    with open(os.path.join(folder, "album.m3u"), "w", newline="") as f:
        f.write("".join(m3u))
    with open(os.path.join(folder, "album.nfo"), "w") as f:
        f.write("nfo\n")
PY

for shape in distinct colliding; do
    find "$work/$shape" -name "*.mp3" -exec cat {} + >/dev/null  # warm cache
    # CPU time beside wall time: on a shared machine the wall time also counts other programs.
    (cd "$work" && /usr/bin/time -f '%e %U %S' -o "$work/$shape.time" \
        "$cli" -P --yes --color=never --settings settings.ini "$shape" >"$work/$shape.log" 2>&1) || true
    read -r wall user sys < <(tail -n 1 "$work/$shape.time")
    renamed=$(grep -c '^== FILE: ' "$work/$shape.log" || true)
    printf '%-10s %6d files  -P %6.2f s wall %6.2f s CPU  (%d renames planned)\n' "$shape" "$files" \
        "$wall" "$(echo "$user + $sys" | bc)" "$renamed"
done
