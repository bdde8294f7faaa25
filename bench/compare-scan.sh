#!/usr/bin/env bash
# Times vellicor-scan on reproducible trees, with an empty digest cache
# database (cold) and again with the one the first run left (warm), next to
# jdupes -r -A, rmlint, fdupes and rdfind from Debian on the same trees, and
# prints one row per tree: times, ratios to jdupes and peak resident memory per
# file. See bench/README.md.
#
# Environment: TREES (the trees, as FILES:PROFILE words; default
# "20000:mixed 200000:small 100000:tiny"), SEED (5), RUNS per tool (3, the best
# counts), PEERS (the other finders to run, default "jdupes rmlint fdupes
# rdfind"; jdupes always runs, the ratios are to it), VELLICOR_BENCH_DIR (where
# the trees are kept, /tmp/vellicor-compare-scan), VELLICOR_BUILD_DIR (build),
# VELLICOR_SCAN (a vellicor-scan to time instead of the build's, for a figure
# of another commit).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
trees=${TREES:-20000:mixed 200000:small 100000:tiny}
seed=${SEED:-5}
runs=${RUNS:-3}
base=${VELLICOR_BENCH_DIR:-/tmp/vellicor-compare-scan}
build=${VELLICOR_BUILD_DIR:-$root/build}
peers=" jdupes ${PEERS:-rmlint fdupes rdfind} "
runs_peer() { [[ $peers == *" $1 "* ]]; }

# The other finders and GNU time, from Debian.
missing=()
for tool in jdupes rmlint fdupes rdfind; do
  runs_peer $tool || continue
  command -v $tool >/dev/null || missing+=($tool)
done
[ -x /usr/bin/time ] || missing+=(time)
if [ ${#missing[@]} -gt 0 ]; then
  sudo=; [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if [ -n "${VELLICOR_SCAN:-}" ]; then
  scan=$(realpath "$VELLICOR_SCAN")
else
  [ -f "$build/build.ninja" ] || cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" --target vellicor-scan >/dev/null
  # Absolute: the runs below change the working folder.
  scan=$(realpath "$build/bench/vellicor-scan")
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# vellicor-scan's own settings and cache folders, away from the user's.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/config XDG_CACHE_HOME=$work/home/cache \
  XDG_STATE_HOME=$work/home/state XDG_DATA_HOME=$work/home/data
mkdir -p "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME" "$XDG_DATA_HOME"

is_less() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }

# Runs a command RUNS times after an optional preparation. Sets best (the best
# wall time in seconds) and peak (the largest resident memory in KiB of any
# run); the last standard output stays in $work/<name>.out.
best_of() {
  local name=$1 prepare=$2
  shift 2
  best= peak=0
  local i elapsed kib
  for ((i = 0; i < runs; i++)); do
    eval "$prepare"
    /usr/bin/time -f '%e %M' -o "$work/$name.time" "$@" >"$work/$name.out" 2>"$work/$name.err"
    read -r elapsed kib <"$work/$name.time"
    if [ -z "$best" ] || is_less "$elapsed" "$best"; then best=$elapsed; fi
    if [ "$kib" -gt "$peak" ]; then peak=$kib; fi
  done
}

# The groups a tool found, as sorted sets of paths: from lists with an empty
# line after each group, or from rdfind's results file.
groups() {
  python3 -c '
import sys
groups, group = {}, []
lines = open(sys.argv[1], encoding="utf-8", errors="surrogateescape").read().splitlines()
if sys.argv[2] == "rdfind":
    for line in lines:
        if line and not line.startswith("#"):
            fields = line.split(" ", 7)
            groups.setdefault(abs(int(fields[1])), []).append(fields[7])
    found = [tuple(sorted(g)) for g in groups.values() if len(g) > 1]
else:
    found = []
    for line in lines + [""]:
        if line:
            group.append(line)
        elif group:
            found.append(tuple(sorted(group))); group = []
for g in sorted(found):
    print("\t".join(g))
' "$1" "${2:-list}"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
per_file() {
  if [ -z "$1" ]; then echo -; else awk -v kib="$1" -v n="$2" 'BEGIN { printf "%.0f", kib * 1024 / n }'; fi
}
seconds() { if [ "$1" = - ]; then echo -; else echo "$1 s"; fi; }

rows=()
agreement=()
for spec in $trees; do
  files=${spec%%:*}
  profile=${spec#*:}
  tree=$base/$files-$profile-$seed
  # A tree is made once per size, profile and seed and kept for the next run.
  stamp="files=$files profile=$profile seed=$seed generator=$(md5sum <"$root/bench/make_compare_tree.py" | cut -c1-32)"
  if [ "$(cat "$tree.stamp" 2>/dev/null)" != "$stamp" ]; then
    echo "Building the tree of $files files ($profile) in $tree ..."
    rm -rf "$tree" "$tree.stamp"
    mkdir -p "$tree"
    python3 "$root/bench/make_compare_tree.py" "$tree" "$files" "$seed" "$profile"
    echo "$stamp" >"$tree.stamp"
  fi
  count=$(find "$tree" -type f | wc -l)
  size=$(du -sh "$tree" | cut -f1)
  echo "Tree: $tree, $count files, $size"

  # Every tool reads from the page cache: the comparison is of the work done,
  # not of the disk.
  find "$tree" -type f -exec cat {} + >/dev/null

  best_of vellicor-cold 'rm -rf "$XDG_CACHE_HOME/Vellicor"' "$scan" "$tree"
  cold=$best cold_peak=$peak
  best_of vellicor-warm '' "$scan" "$tree"
  warm=$best warm_peak=$peak
  best_of jdupes '' jdupes -q -r -A "$tree"
  jdupes_time=$best jdupes_peak=$peak
  # A peer left out shows as "-".
  rmlint_time=- rmlint_peak= fdupes_time=- fdupes_peak= rdfind_time=- rdfind_peak=
  if runs_peer rmlint; then
    mkdir -p "$work/rmlint"
    best_of rmlint 'cd "$work/rmlint"' rmlint -T df -o "fdupes:$work/rmlint/groups.txt" "$tree"
    rmlint_time=$best rmlint_peak=$peak
    cd "$work"
    cp "$work/rmlint/groups.txt" "$work/rmlint.out"
  fi
  if runs_peer fdupes; then
    best_of fdupes '' fdupes -q -r "$tree"
    fdupes_time=$best fdupes_peak=$peak
  fi
  if runs_peer rdfind; then
    best_of rdfind '' rdfind -outputname "$work/rdfind.txt" -makeresultsfile true "$tree"
    rdfind_time=$best rdfind_peak=$peak
    cp "$work/rdfind.txt" "$work/rdfind.out"
  fi

  groups "$work/vellicor-warm.out" >"$work/vellicor.groups"
  verdict=
  for tool in jdupes rmlint fdupes rdfind; do
    runs_peer $tool || continue
    kind=list; [ $tool = rdfind ] && kind=rdfind
    cmp -s "$work/vellicor.groups" <(groups "$work/$tool.out" $kind) && verdict+="$tool same, " \
      || verdict+="$tool DIFFERENT, "
  done
  cmp -s <(groups "$work/vellicor-cold.out") "$work/vellicor.groups" && verdict+="cold and warm same" \
    || verdict+="cold and warm DIFFERENT"
  agreement+=("$files $profile: $verdict")

  rows+=("$(printf '| %s files (%s), %s | %s s (%s×) | %s s (%s×) | %s s | %s | %s | %s |' \
    "$files" "$profile" "$size" "$cold" "$(ratio "$cold" "$jdupes_time")" "$warm" "$(ratio "$warm" "$jdupes_time")" \
    "$jdupes_time" "$(seconds "$rmlint_time")" "$(seconds "$fdupes_time")" "$(seconds "$rdfind_time")")")
  rows+=("$(printf '| peak bytes per file | %s | %s | %s | %s | %s | %s |' "$(per_file "$cold_peak" "$count")" \
    "$(per_file "$warm_peak" "$count")" "$(per_file "$jdupes_peak" "$count")" "$(per_file "$rmlint_peak" "$count")" \
    "$(per_file "$fdupes_peak" "$count")" "$(per_file "$rdfind_peak" "$count")")")
done

echo
echo "Best of $runs runs; (×) is the time against jdupes; memory is the peak resident set over the runs."
echo "| tree | cold cache | warm cache | jdupes -r -A | rmlint -T df | fdupes -r | rdfind |"
echo "|---|---|---|---|---|---|---|"
printf '%s\n' "${rows[@]}"
echo
printf 'Groups: %s\n' "${agreement[@]}"
