# shellcheck shell=bash disable=SC2034,SC2054  # the CASE_* variables are read by lib/judge.sh
# Class 10: two runs into the same output folder at once. The judged run is
# held just before it renames its finished output (strace delays renameat)
# while a second run starts there, clears away abandoned temporary files and
# converts its own inputs; unforced, two batches run side by side. Neither
# may lose the other's work.

CONCURRENT_PID=''
CONCURRENT_CTX=''
CONCURRENT_DELAY=0

# The second run, started by the case's setup: RUN_DIR OUT.
start_concurrent_run() {
  local inputs
  mapfile -t inputs < <(context_inputs "$CONCURRENT_CTX")
  (
    sleep "$CONCURRENT_DELAY"
    "$CLI" -q -j 2 -o "$2" "${inputs[@]}" >"$1/concurrent.err" 2>&1
    echo $? >"$1/concurrent.rc"
  ) &
  CONCURRENT_PID=$!
  STARTED_PIDS+=("$CONCURRENT_PID")
}

# The case's teardown: RUN_DIR OUT. The second run's outputs must be its
# reference; they are taken out so that the judged run's folder is judged
# alone. What went wrong stays behind as a file the judge calls unexpected.
finish_concurrent_run() {
  local ended_first=no reference name
  [[ -e $1/concurrent.rc ]] && ended_first=yes
  wait "$CONCURRENT_PID" 2>/dev/null
  forget_pid "$CONCURRENT_PID"
  # Held for longer than the second run takes, the judged run must outlive it.
  [[ $CONCURRENT_DELAY == 0 || $ended_first == yes ]] || RUN_REACHED=no
  [[ $(cat "$1/concurrent.rc" 2>/dev/null) == 0 ]] || cp "$1/concurrent.err" "$2/concurrent-run-failed"
  for reference in "$W/ref/$CONCURRENT_CTX"/*.xml; do
    name=${reference##*/}
    if cmp -s "$reference" "$2/$name"; then
      [[ $CONCURRENT_CTX == "$CASE_CTX" ]] || rm -f "$2/$name"
    else
      : >"$2/concurrent-run-lost-$name"
    fi
  done
}

# concurrent_case NAME CTX OTHER_CTX DELAY: the judged run over CTX, held at
# its first renameat when DELAY is not 0, and a second run over OTHER_CTX
# that starts DELAY seconds after it.
concurrent_case() {
  CASE_CLASS=10 CASE_NAME=$1 CASE_CTX=$2 CASE_JOBS=1
  CONCURRENT_CTX=$3 CONCURRENT_DELAY=$4
  CASE_SETUP=start_concurrent_run CASE_TEARDOWN=finish_concurrent_run
  if [[ $4 != 0 ]]; then
    CASE_STRACE=(-e trace=rename,renameat -e inject=rename,renameat:delay_enter=2000000:when=1)
    CASE_HIT=held  # a delay is not marked as injected; outliving the second run is the proof
  fi
  run_case
  RUN_REACHED=yes
}

class_10() {
  say "class 10: two runs into the same folder at once"
  concurrent_case held-before-rename-while-another-run-writes-the-same-file single single 0.3
  concurrent_case batch-held-before-rename-while-another-run-writes-one-file batch single 0.3
  local round
  for round in 1 2 3; do
    concurrent_case "two-batches-side-by-side-$round" batch batch 0
  done
}
