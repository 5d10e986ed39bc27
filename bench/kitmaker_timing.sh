#!/usr/bin/env bash
# kitmaker on a product of 2 GB in 50,000 files, against `cp -r` of the same folder (the floor: the
# bytes read and written once) and `bsdtar -cf` (a peer archiver that also writes one stored archive).
# Each tool runs ROUNDS times in turn on the warm folder; the medians of each are printed with the
# ratios: the wall time, the wall time until what it wrote is on the disk, and its CPU time (the
# figure least moved by other work on a shared machine), with the load average before and after.
#
#   bench/kitmaker_timing.sh [WORK_FOLDER [ROUNDS]]     defaults: a new folder in /var/tmp, 3
#
# Needs about 7 GB free where WORK_FOLDER lies, python3 (to write the product) and bsdtar
# (scripts/setup-deps --bench). A new work folder is removed at the end; a named one keeps the
# product (2 GB) for the next run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KIT_BUILD_DIR:-$root/build}
work=${1:-}
rounds=${2:-3}
if [ -z "$work" ]; then
  work=$(mktemp -d /var/tmp/kit-timing.XXXXXX)
  trap 'rm -rf "$work"' EXIT
else
  # A work folder that is named is kept with its product for the next run; only the copies go.
  mkdir -p "$work"
  work=$(realpath "$work")
  trap 'rm -rf "$work/copy" "$work/product.tar" "$work/kit" "$work/times"' EXIT
fi
command -v bsdtar >/dev/null || { echo "bsdtar is missing: scripts/setup-deps --bench" >&2; exit 2; }
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j2 --target kitmaker installer >/dev/null

# 50,000 files in 500 folders, sizes spread from 0 to 80,000 bytes, 2,000,000,000 bytes in all.
if [ ! -f "$work/product.made" ]; then
rm -rf "$work/product"
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
touch "$work/product.made"
fi
echo "product: $(find "$work/product" -type f | wc -l) files, $(du -sb --apparent-size "$work/product" | cut -f1) bytes"

now() { date +%s%N; }
# Sets child_cpu to the CPU time (user + system, ms) of the children this shell has waited for, from
# `times` (run in this shell itself: in a subshell it would count only the subshell's children).
children_cpu() {
  times >"$work/times"
  child_cpu=$(awk 'function ms(t, m) { split(t, m, /[ms]/); return (m[1] * 60 + m[2]) * 1000 }
    END { printf "%d", ms($1) + ms($2) }' "$work/times")
}
declare -A times cpu synced
run() { # name command...
  local name=$1
  shift
  sync
  local t c
  children_cpu
  c=$child_cpu
  t=$(now)
  "$@" >/dev/null 2>&1
  times[$name]+="$((($(now) - t) / 1000000)) "
  children_cpu
  cpu[$name]+="$((child_cpu - c)) "
  sync # until what it wrote is on the disk
  synced[$name]+="$((($(now) - t) / 1000000)) "
}
median() { tr ' ' '\n' <<<"$1" | grep . | sort -n | sed -n "$((($(wc -w <<<"$1") + 1) / 2))p"; }

load=$(cut -d' ' -f1-3 /proc/loadavg)
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
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
report() { # label array-name
  local -n a=$2
  local c t k
  c=$(median "${a[cp]}") t=$(median "${a[bsdtar]}") k=$(median "${a[kitmaker]}")
  echo "$1: cp -r $c ms, bsdtar -cf $t ms, kitmaker $k ms;" \
    "kitmaker / bsdtar = $(ratio "$k" "$t"), kitmaker / cp -r = $(ratio "$k" "$c")"
}
echo "medians of $rounds rounds (target: kitmaker <= 1.5 x bsdtar); load before: $load"
report "wall time" times
report "wall time until on disk (sync)" synced
report "CPU time (user + system)" cpu
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "kit: $kitsize bytes, of which the installer and its runtime $runtime bytes"
