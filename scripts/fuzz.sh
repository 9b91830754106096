#!/usr/bin/env bash
# Runs every fuzz target of tests/fuzz for SECONDS seconds each (60 when not
# given), built with clang's libFuzzer, AddressSanitizer and UBSan in
# build-fuzz/:
#   scripts/fuzz.sh [SECONDS] [TARGET...]
# Each target starts from its seed corpus (tests/fuzz/corpus/NAME) and keeps
# what it finds in build-fuzz/corpus/NAME. A failing input is saved as
# build-fuzz/crashes/NAME-crash-…; once mended, copy it into the seed corpus,
# where every build replays it as a test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --fuzz --no-gui

seconds="${1:-60}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(reply_parser master config_file journal_records)

dir="${BUILD_DIR:-build-fuzz}"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DLUMA_FUZZ=ON -DLUMA_GUI=OFF >/dev/null
cmake --build "$dir" -j "${JOBS:-2}" --target "${targets[@]/#/fuzz_}"

mkdir -p "$dir/crashes"
failed=()
for t in "${targets[@]}"; do
  mkdir -p "$dir/corpus/$t"
  echo "fuzz: $t for ${seconds} s"
  if ! "$dir/tests/fuzz/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 \
       -artifact_prefix="$dir/crashes/$t-" "$dir/corpus/$t" "tests/fuzz/corpus/$t"; then
    failed+=("$t")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failures in ${failed[*]} (inputs in $dir/crashes)" >&2
  exit 1
fi
echo "fuzz: no failures"
