# shellcheck shell=bash disable=SC2034  # the CASE_* variables are read by lib/judge.sh
# Classes 1 to 5 (and 6, 7, 9) through the window's own run, offscreen: the
# reliability_window_tests program drives Form1 over the same faults and
# writes one row per run. It runs twice: as root, and as nobody for the
# read-only cases.

# window_tests_run LABEL RESULTS_FILE GTEST_FILTER [nobody]
window_tests_run() {
  local label=$1 rows=$2 filter=$3 as_user=${4:-}
  local log=$W/runs/window-$label.log runtime=$W/runs/window-$label-runtime runner=() rc
  mkdir -p "$runtime" && chmod 0700 "$runtime"
  : >"$rows"
  if [[ -n $as_user ]]; then
    chown 65534:65534 "$rows" "$runtime"
    runner=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  fi
  local planned
  if ! planned=$(planned_window_runs "$filter"); then
    not_started 0 window "window-test-program-$label"
    record_row 0 window "window-test-program-$label" 0 1 1 1 0 0 0 0 0 \
      "the window test program cannot even list its tests: $(head -c 300 "$W/runs/window-list.err")"
    return
  fi
  env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$runtime" TMPDIR=/tmp \
    LD_LIBRARY_PATH="$WINDOW_LIBRARY_PATH" \
    ROWVANE_RELIABILITY_TMPFS="$WINDOW_DISK" ROWVANE_RELIABILITY_RESULTS="$rows" \
    timeout -k 5 300 "${runner[@]}" "$WINDOW_TESTS" --gtest_filter="$filter" >"$log" 2>&1
  rc=$?
  local started written skipped crash=0 hang=0 notes=() test
  started=$(grep -Ec '^\[ RUN      \] (Faults/|Settings/|WindowWalkTest)' "$log" || true)
  # A planned run that never began counts as a failed run of its own.
  while read -r test; do
    [[ -z $test ]] && continue
    grep -qxF "[ RUN      ] $test" "$log" && continue
    not_started window window "$test"
    record_row window window "$test" 0 1 1 1 0 0 0 0 0 \
      "did not start (exit status $rc): $(grep -v '^\[' "$log" | head -c 200)"
  done <<<"$planned"
  written=$(grep -c . "$rows" || true)
  skipped=$(grep -Ec '^\[  SKIPPED \] [A-Za-z]' "$log" || true)
  cat "$rows" >>"$RESULTS"
  awk -F'|' '{
    verdict = ($4 $5 $6 $7 $8 $11 $12 == "1111010") ? "ok  " : "FAIL"
    printf "  %s  class %s window: %s%s\n", verdict, $1, $3, ($13 == "" ? "" : ": " $13)
  }' "$rows" >&2
  if grep -q '^HANG:' "$log" || ((rc == 124 || rc == 137)); then
    hang=1
    notes+=("$(grep -m1 '^HANG:' "$log")")
  elif ((rc >= 128)); then
    crash=1
    notes+=("the window test program died of signal $((rc - 128))")
  fi
  if grep -q '^\[  FAILED  \] \(FaultShimTest\|FaultPlanTest\|Plans/\)' "$log"; then
    notes+=("the fault shim's own tests fail: the suite's faults cannot be trusted")
  fi
  ((skipped > 0)) && notes+=("$skipped window tests were skipped")
  ((written != started)) && notes+=("$started window runs started, $written judged")
  if ((${#notes[@]})); then
    record_row 0 window "window-test-program-$label" 1 1 1 1 0 "$crash" "$hang" 0 0 \
      "${notes[*]} (log: $log)"
  fi
}

# planned_window_runs FILTER: the window runs FILTER selects, one full test
# name a line, as the program lists them (as root, which can always start it).
planned_window_runs() {
  local listing suite line
  listing=$(LD_LIBRARY_PATH="$WINDOW_LIBRARY_PATH" "$WINDOW_TESTS" --gtest_list_tests \
    --gtest_filter="$1" 2>"$W/runs/window-list.err") || return 1
  while IFS= read -r line; do
    if [[ $line != " "* ]]; then
      suite=$line
    elif [[ $suite =~ ^(Faults/|Settings/|WindowWalkTest) ]]; then
      line=${line#  }
      printf '%s%s\n' "$suite" "${line%%  #*}"
    fi
  done <<<"$listing"
}

window_runs() {
  say "classes 1-7 and 9 through the window"
  WINDOW_DISK=$W/mnt/window-disk
  mount_small_disk "$WINDOW_DISK" 64k
  window_tests_run root "$W/window-rows-root" '-*Unprivileged*'
  unmount_small_disk "$WINDOW_DISK"
  WINDOW_DISK=''
  window_tests_run nobody "$W/window-rows-nobody" '*Unprivileged*' nobody
}
