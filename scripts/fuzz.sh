#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer, and the program with the
# same compiler (so that the code keeps building with clang as with GCC), and
# runs each target for a bounded time (FUZZ_SECONDS, 60 by default). Seeds are
# generated here, not committed. Crashes land in fuzz-out/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
build=${FUZZ_BUILD:-build-fuzz}
out=fuzz-out

CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIRLADA_FUZZ=ON >/dev/null
cmake --build "$build" -j "${FUZZ_JOBS:-$(nproc)}" --target fuzzers tirlada

bash fuzz/make-seeds.sh "$out/seeds"

export QT_QPA_PLATFORM=offscreen
status=0
for target in "$build"/fuzz/fuzz_*; do
  [ -f "$target" ] && [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="$out/corpus/$name"
  mkdir -p "$corpus" "$out/crashes/$name"
  seeds="$out/seeds/${name#fuzz_}"
  [ -d "$seeds" ] || seeds=
  dict="fuzz/${name#fuzz_}.dict"
  dict_arg=()
  [ -f "$dict" ] && dict_arg=(-dict="$dict")
  echo "== $name for ${seconds}s"
  if ! "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$out/crashes/$name/" "${dict_arg[@]}" "$corpus" ${seeds:+"$seeds"} \
      >"$out/$name.log" 2>&1; then
    status=1
    echo "$name found a failure; see $out/$name.log and $out/crashes/$name/"
  fi
  grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb|^Done' "$out/$name.log" || true
done
exit $status
