#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) and runs each for
# FUZZ_SECONDS seconds (default 60) from its seed corpus in fuzz/corpus/.
# New inputs go to a scratch folder, so the committed corpus stays as it is.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-60}"
cmake --preset fuzz
cmake --build --preset fuzz --parallel "$(nproc 2>/dev/null || echo 2)"

status=0
for target in json_document web_text; do
  scratch=$(mktemp -d)
  log="${scratch}.log"
  echo "== fuzz_${target} for ${seconds} s =="
  if ! build/fuzz/fuzz/fuzz_${target} -max_total_time="${seconds}" -rss_limit_mb=4096 \
      -print_final_stats=1 "${scratch}" "fuzz/corpus/${target}" > "${log}" 2>&1; then
    status=1
    tail -n 60 "${log}"
  else
    grep -E '^stat::number_of_executed_units|^Done ' "${log}" || tail -n 3 "${log}"
  fi
  rm -rf "${scratch}" "${log}"
done
exit "${status}"
