#!/usr/bin/env bash
# kitmaker on a product of 2 GB in 50,000 files, against `cp -r` of the same folder (the floor: the
# bytes read and written once) and `bsdtar -cf` (a peer archiver that also writes one stored archive).
# Each tool runs ROUNDS times in turn on the warm folder; the median of each is printed with the ratios.
#
#   bench/kitmaker_timing.sh [WORK_FOLDER [ROUNDS]]     defaults: a new folder in /var/tmp, 3
#
# Needs about 7 GB free where WORK_FOLDER lies, python3 (to write the product) and bsdtar
# (scripts/setup-deps --bench). The work folder is removed at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KIT_BUILD_DIR:-$root/build}
work=${1:-}
rounds=${2:-3}
if [ -z "$work" ]; then
  work=$(mktemp -d /var/tmp/kit-timing.XXXXXX)
else
  mkdir -p "$work"
  work=$(realpath "$work")
fi
trap 'rm -rf "$work"' EXIT
command -v bsdtar >/dev/null || { echo "bsdtar is missing: scripts/setup-deps --bench" >&2; exit 2; }
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j2 --target kitmaker installer >/dev/null

# 50,000 files in 500 folders, sizes spread from 0 to 80,000 bytes, 2,000,000,000 bytes in all.
python3 - "$work/product" <<'EOF'
import os, random, sys
root = sys.argv[1]
rng = random.Random(19)
files, total = 50000, 2_000_000_000
sizes = [rng.randint(0, 80000) for _ in range(files)]
scale = total / sum(sizes)
sizes = [int(s * scale) for s in sizes]
sizes[-1] += total - sum(sizes)
block = os.urandom(1 << 20)
for i, size in enumerate(sizes):
    folder = os.path.join(root, f"dir{i // 100:03d}")
    if i % 100 == 0:
        os.makedirs(folder)
    with open(os.path.join(folder, f"file{i:05d}.dat"), "wb") as f:
        off = (i * 7919) % (len(block) - 80001)
        f.write(block[off:off + size] if size <= 80000 else block[:size])
EOF
echo "product: $(find "$work/product" -type f | wc -l) files, $(du -sb --apparent-size "$work/product" | cut -f1) bytes"

now() { date +%s%N; }
declare -A times
run() { # name command...
  local name=$1
  shift
  sync
  local t
  t=$(now)
  "$@" >/dev/null 2>&1
  times[$name]+="$((($(now) - t) / 1000000)) "
}
median() { tr ' ' '\n' <<<"$1" | grep . | sort -n | sed -n "$((($(wc -w <<<"$1") + 1) / 2))p"; }

for ((r = 1; r <= rounds; r++)); do
  run cp cp -r "$work/product" "$work/copy"
  rm -rf "$work/copy"
  run bsdtar bsdtar -cf "$work/product.tar" -C "$work" product
  rm -f "$work/product.tar"
  run kitmaker "$build/bin/kitmaker" --from "$work/product" --name "Timing Product" --out "$work/kit"
  kitsize=$(du -sb "$work/kit" | cut -f1)
  runtime=$(($(du -sb "$work/kit/runtime" | cut -f1) + $(stat -c %s "$work/kit/install")))
  rm -rf "$work/kit"
done
cp_ms=$(median "${times[cp]}")
tar_ms=$(median "${times[bsdtar]}")
kit_ms=$(median "${times[kitmaker]}")
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo "median of $rounds rounds: cp -r ${cp_ms} ms, bsdtar -cf ${tar_ms} ms, kitmaker ${kit_ms} ms"
echo "kitmaker / bsdtar = $(ratio "$kit_ms" "$tar_ms") (target <= 1.5), kitmaker / cp -r = $(ratio "$kit_ms" "$cp_ms")"
echo "kit: $kitsize bytes, of which the installer and its runtime $runtime bytes"
