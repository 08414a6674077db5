#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer + AddressSanitizer + UndefinedBehaviorSanitizer)
# in their own build folder and runs each for a bounded time, seeded with the repository's sample
# files; ends with the executions and findings of every target.
#   FUZZ_SECONDS   seconds per target (default 600)
#   FUZZ_BUILD_DIR build folder (default build-fuzz)
#   FUZZ_TARGETS   targets to run (default: all five)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${FUZZ_BUILD_DIR:-$root/build-fuzz}"
seconds="${FUZZ_SECONDS:-600}"
targets="${FUZZ_TARGETS:-fuzz_binary_packet fuzz_xml_packet fuzz_filter fuzz_connection_string fuzz_pesquisa}"

# clang with its sanitizer and libFuzzer runtimes, besides what the normal build needs.
bash "$root/scripts/install-deps.sh"
if ! command -v clang++ >/dev/null || ! dpkg-query -W -f='${Status}' libclang-rt-14-dev 2>/dev/null | grep -q "ok installed"; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq clang libclang-rt-14-dev
fi
CC=clang CXX=clang++ cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# shellcheck disable=SC2086
ninja -C "$build" -j2 $targets

export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export QT_QPA_PLATFORM=offscreen
mkdir -p "$build/artifacts"
status=0
summary=()
for t in $targets; do
  corpus="$build/corpus/$t"
  mkdir -p "$corpus"
  seeds=()
  dict=()
  case "$t" in
    fuzz_binary_packet) seeds=("$root/fuzz/corpus/binary" "$root/tests/dataset/data") ;;
    fuzz_xml_packet) seeds=("$root/fuzz/corpus/xml"); dict=(-dict="$root/fuzz/xml.dict") ;;
    fuzz_filter) seeds=("$root/fuzz/corpus/filter") ;;
    fuzz_connection_string) seeds=("$root/fuzz/corpus/connection"); dict=(-dict="$root/fuzz/connection.dict") ;;
    fuzz_pesquisa) seeds=("$root/fuzz/corpus/pesquisa") ;;
  esac
  echo "== $t: ${seconds}s"
  start=$(date +%s)
  before=$(find "$build/artifacts" -maxdepth 1 -name "$t-*" | wc -l)
  if ! "$build/bin/$t" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$build/artifacts/$t-" "${dict[@]}" "$corpus" "${seeds[@]}" \
      2>"$build/$t.log"; then
    echo "!! $t found a problem; see $build/$t.log and $build/artifacts/"
    tail -n 40 "$build/$t.log"  # what a CI log shows of it
    status=1
  fi
  runs=$(grep -oE "stat::number_of_executed_units: [0-9]+" "$build/$t.log" | grep -oE "[0-9]+$" || echo "?")
  found=$(( $(find "$build/artifacts" -maxdepth 1 -name "$t-*" | wc -l) - before ))
  echo "   ran $(( $(date +%s) - start ))s, $runs executions, $found findings"
  summary+=("$t: $runs executions, $found findings")
done
echo "== summary"
printf '   %s\n' "${summary[@]}"
exit $status
