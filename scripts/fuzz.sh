#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) and runs each for
# FUZZ_SECONDS seconds (default 60) from its seed corpus in fuzz/corpus/.
# New inputs go to a scratch folder, so the committed corpus stays as it is.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-60}"
cmake --preset fuzz
cmake --build --preset fuzz --parallel "$(nproc 2>/dev/null || echo 2)" \
  --target fuzz_json_document fuzz_web_text

# The targets run side by side, one per core, each for the whole time.
run_target() {
  local target=$1 scratch log
  scratch=$(mktemp -d)
  log="${scratch}.log"
  if ! build/fuzz/fuzz/fuzz_${target} -max_total_time="${seconds}" -rss_limit_mb=4096 \
      -print_final_stats=1 "${scratch}" "fuzz/corpus/${target}" > "${log}" 2>&1; then
    echo "== fuzz_${target} failed =="
    tail -n 60 "${log}"
    rm -rf "${scratch}" "${log}"
    return 1
  fi
  echo "== fuzz_${target} for ${seconds} s =="
  grep -E '^stat::number_of_executed_units|^Done ' "${log}" || tail -n 3 "${log}"
  rm -rf "${scratch}" "${log}"
}

status=0
pids=()
outputs=()
for target in json_document web_text; do
  out=$(mktemp)
  outputs+=("${out}")
  run_target "${target}" > "${out}" 2>&1 &
  pids+=($!)
done
for i in "${!pids[@]}"; do
  wait "${pids[$i]}" || status=1
  cat "${outputs[$i]}"
  rm -f "${outputs[$i]}"
done
exit "${status}"
