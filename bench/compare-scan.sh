#!/usr/bin/env bash
# Times vellicor-scan on a reproducible tree, with an empty digest cache
# database (cold) and again with the one the first run left (warm), next to
# jdupes -r -A and rmlint from Debian on the same tree, and prints the times
# and their ratios. See bench/README.md.
#
# Environment: FILES (20000), SEED (5), RUNS per tool (3, the best counts),
# VELLICOR_BENCH_DIR (where the tree is kept, /tmp/vellicor-compare-scan),
# VELLICOR_BUILD_DIR (build).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
files=${FILES:-20000}
seed=${SEED:-5}
runs=${RUNS:-3}
base=${VELLICOR_BENCH_DIR:-/tmp/vellicor-compare-scan}
build=${VELLICOR_BUILD_DIR:-$root/build}
tree=$base/tree

# The two other finders, from Debian.
missing=()
command -v jdupes >/dev/null || missing+=(jdupes)
command -v rmlint >/dev/null || missing+=(rmlint)
if [ ${#missing[@]} -gt 0 ]; then
  sudo=; [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

[ -f "$build/build.ninja" ] || cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target vellicor-scan >/dev/null
scan=$build/bench/vellicor-scan

# The tree is made once per FILES and SEED and kept for the next run.
stamp="files=$files seed=$seed generator=$(md5sum <"$root/bench/make_compare_tree.py" | cut -c1-32)"
if [ "$(cat "$base/stamp" 2>/dev/null)" != "$stamp" ]; then
  echo "Building the tree of $files files in $tree ..."
  rm -rf "$tree" "$base/stamp"
  mkdir -p "$tree"
  python3 "$root/bench/make_compare_tree.py" "$tree" "$files" "$seed"
  echo "$stamp" >"$base/stamp"
fi
echo "Tree: $tree, $(find "$tree" -type f | wc -l) files, $(du -sh "$tree" | cut -f1)"

# Every tool reads from the page cache: the comparison is of the work done,
# not of the disk.
find "$tree" -type f -exec cat {} + >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# vellicor-scan's own settings and cache folders, away from the user's.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/config XDG_CACHE_HOME=$work/home/cache \
  XDG_STATE_HOME=$work/home/state XDG_DATA_HOME=$work/home/data
mkdir -p "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME" "$XDG_DATA_HOME"

is_less() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }

# Runs a command RUNS times after an optional preparation; prints the best
# wall time in seconds. Its last standard output stays in $work/<name>.out.
best_of() {
  local name=$1 prepare=$2
  shift 2
  local best= start end elapsed
  for ((i = 0; i < runs; i++)); do
    eval "$prepare"
    start=$EPOCHREALTIME
    "$@" >"$work/$name.out" 2>"$work/$name.err"
    end=$EPOCHREALTIME
    elapsed=$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')
    if [ -z "$best" ] || is_less "$elapsed" "$best"; then best=$elapsed; fi
  done
  printf '%.3f' "$best"
}

cold=$(best_of vellicor-cold 'rm -rf "$XDG_CACHE_HOME/Vellicor"' "$scan" "$tree")
warm=$(best_of vellicor-warm '' "$scan" "$tree")
jdupes_time=$(best_of jdupes '' jdupes -q -r -A "$tree")
mkdir -p "$work/rmlint"
rmlint_time=$(best_of rmlint 'cd "$work/rmlint"' rmlint -T df -o "fdupes:$work/rmlint/groups.txt" "$tree")
cp "$work/rmlint/groups.txt" "$work/rmlint.out"

# The groups each tool found, as sorted sets of paths, so the times compare
# the same answer.
groups() {
  python3 -c '
import sys
groups, group = [], []
for line in open(sys.argv[1], encoding="utf-8", errors="surrogateescape"):
    line = line.rstrip("\n")
    if line:
        group.append(line)
    elif group:
        groups.append(tuple(sorted(group))); group = []
if group:
    groups.append(tuple(sorted(group)))
for g in sorted(groups):
    print("\t".join(g))
' "$1"
}
groups "$work/vellicor-warm.out" >"$work/vellicor.groups"
agree() { cmp -s "$work/vellicor.groups" <(groups "$work/$1.out") && echo "same groups" || echo "DIFFERENT groups"; }

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
fastest=$jdupes_time
is_less "$rmlint_time" "$fastest" && fastest=$rmlint_time

echo "$(sed -n 's/^vellicor-scan: //p' "$work/vellicor-warm.err")"
printf '%-28s %9s s\n' "vellicor-scan, cold cache" "$cold" "vellicor-scan, warm cache" "$warm" \
  "jdupes -r -A" "$jdupes_time" "rmlint -T df" "$rmlint_time"
echo "jdupes: $(agree jdupes); rmlint: $(agree rmlint)"
echo "cold / warm:            $(ratio "$cold" "$warm")"
echo "jdupes / warm:          $(ratio "$jdupes_time" "$warm")"
echo "rmlint / warm:          $(ratio "$rmlint_time" "$warm")"
echo "fastest other / warm:   $(ratio "$fastest" "$warm")  (1 or more: vellicor-scan is at least as fast)"
echo "fastest other / cold:   $(ratio "$fastest" "$cold")"
