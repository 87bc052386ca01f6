#!/usr/bin/env bash
# Fuzzing the engine's parsers.
#
#   scripts/fuzz.sh run [SECONDS] [--merge] [NAME...]
#       builds the libFuzzer programs with clang into build/fuzz and runs each target (all of
#       fuzz/*_fuzz.cpp, or the NAMEs given) for SECONDS (default 60) on a scratch copy of its
#       corpus. Crashes are kept in build/fuzz/artifacts/<name>/. With --merge the inputs that
#       add coverage are merged back into fuzz/corpus/<name>/; without it the corpus is left as
#       it is.
#   scripts/fuzz.sh replay [NAME...]
#       replays each corpus through the replay programs of build/release (building what is
#       missing or stale), without libFuzzer.
#
# Exit status: 0 when every target ran clean, 1 when one crashed or failed to build, 2 on bad use.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

usage() {
  sed -n '3,13p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

# Target names from fuzz/<name>_fuzz.cpp; only the sources that exist now.
all_targets() {
  local f
  for f in fuzz/*_fuzz.cpp; do
    [ -e "$f" ] || continue
    f=${f#fuzz/}
    echo "${f%_fuzz.cpp}"
  done
}

cmd=${1:-}
[ -n "$cmd" ] || usage
shift

case "$cmd" in
  run)
    seconds=60
    if [[ "${1:-}" =~ ^[0-9]+$ ]]; then
      seconds=$1
      shift
    fi
    merge=0
    names=()
    for arg in "$@"; do
      case "$arg" in
        --merge) merge=1 ;;
        -h|--help) usage ;;
        -*) echo "fuzz.sh: unknown option $arg" >&2; exit 2 ;;
        *) names+=("$arg") ;;
      esac
    done
    [ ${#names[@]} -gt 0 ] || mapfile -t names < <(all_targets)
    if [ ${#names[@]} -eq 0 ]; then
      echo "fuzz.sh: no fuzz targets (fuzz/*_fuzz.cpp) yet"
      exit 0
    fi
    command -v clang++ >/dev/null || { echo "fuzz.sh: clang++ is needed for fuzzing" >&2; exit 2; }

    dir=build/fuzz
    CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_CXX_COMPILER=clang++ \
      -DZENTOR_FUZZ=ON -DZENTOR_GUI=OFF -DZENTOR_BENCH=OFF >/dev/null

    failed=()
    for name in "${names[@]}"; do
      if [ ! -e "fuzz/${name}_fuzz.cpp" ]; then
        echo "fuzz.sh: $name: no fuzz/${name}_fuzz.cpp, skipped"
        continue
      fi
      # One target at a time, so a half-written target does not keep the others from running.
      if ! cmake --build "$dir" --target "fuzz_$name" -j"$(nproc)"; then
        echo "fuzz.sh: $name: build failed" >&2
        failed+=("$name (build)")
        continue
      fi
      scratch=$(mktemp -d "${TMPDIR:-/tmp}/zentor-fuzz-$name.XXXXXX")
      if [ -d "fuzz/corpus/$name" ]; then
        cp -r "fuzz/corpus/$name/." "$scratch/"
      fi
      artifacts="$root/$dir/artifacts/$name"
      mkdir -p "$artifacts"
      echo "== $name: ${seconds}s on $(find "$scratch" -type f | wc -l) inputs"
      status=0
      "$dir/fuzz/fuzz_$name" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$artifacts/" "$scratch" || status=$?
      if [ $status -ne 0 ]; then
        echo "fuzz.sh: $name: the fuzzer stopped with status $status; inputs in $artifacts/" >&2
        failed+=("$name")
      elif [ $merge -eq 1 ]; then
        mkdir -p "fuzz/corpus/$name"
        before=$(find "fuzz/corpus/$name" -type f | wc -l)
        "$dir/fuzz/fuzz_$name" -merge=1 "fuzz/corpus/$name" "$scratch" >/dev/null 2>&1
        after=$(find "fuzz/corpus/$name" -type f | wc -l)
        echo "== $name: merged $((after - before)) new inputs into fuzz/corpus/$name/"
      fi
      rm -rf "$scratch"
    done
    if [ ${#failed[@]} -gt 0 ]; then
      echo "fuzz.sh: failed: ${failed[*]}" >&2
      exit 1
    fi
    ;;

  replay)
    names=("$@")
    [ ${#names[@]} -gt 0 ] || mapfile -t names < <(all_targets)
    if [ ${#names[@]} -eq 0 ]; then
      echo "fuzz.sh: no fuzz targets (fuzz/*_fuzz.cpp) yet"
      exit 0
    fi
    dir=build/release
    if [ ! -f "$dir/build.ninja" ]; then
      cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    fi
    failed=()
    for name in "${names[@]}"; do
      if [ ! -e "fuzz/${name}_fuzz.cpp" ]; then
        echo "fuzz.sh: $name: no fuzz/${name}_fuzz.cpp, skipped"
        continue
      fi
      if ! cmake --build "$dir" --target "fuzz_${name}_replay" -j"$(nproc)" >/dev/null; then
        echo "fuzz.sh: $name: build failed" >&2
        failed+=("$name (build)")
        continue
      fi
      if [ ! -d "fuzz/corpus/$name" ]; then
        echo "fuzz.sh: $name: no corpus in fuzz/corpus/$name/" >&2
        failed+=("$name (no corpus)")
        continue
      fi
      if "$dir/fuzz/fuzz_${name}_replay" "fuzz/corpus/$name" >/dev/null 2>"$dir/fuzz/replay-$name.log"; then
        echo "== $name: $(find "fuzz/corpus/$name" -type f | wc -l) inputs replayed clean"
      else
        echo "fuzz.sh: $name: replay failed; the last input named in $dir/fuzz/replay-$name.log is the culprit" >&2
        tail -n 20 "$dir/fuzz/replay-$name.log" >&2
        failed+=("$name")
      fi
    done
    if [ ${#failed[@]} -gt 0 ]; then
      echo "fuzz.sh: failed: ${failed[*]}" >&2
      exit 1
    fi
    ;;

  -h|--help|help) usage ;;
  *) echo "fuzz.sh: unknown command $cmd (run or replay)" >&2; exit 2 ;;
esac
