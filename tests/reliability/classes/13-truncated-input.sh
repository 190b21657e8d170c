# shellcheck shell=bash disable=SC2034,SC2054  # the CASE_* variables are read by lib/judge.sh
# Class 13: an input is truncated, extended or rewritten while it is read.
# strace holds the converting thread before a chosen read of that input;
# once it is held there the file is changed, and the read goes on. The file
# must fail as a read failure, its earlier output must stay, and the rest of
# the batch must convert.

CLASS_TITLES[13]='13 input changed in read'

truncate_to_half() { truncate -s $(($(stat -c %s "$1") / 2)) "$1"; }
truncate_to_nothing() { truncate -s 0 "$1"; }
append_a_record() { printf '999999,appended,1\r\n' >>"$1"; }
# The same size, one byte changed, and a modification time that differs.
rewrite_same_size() {
  printf 'Z' | dd of="$1" bs=1 seek=$(($(stat -c %s "$1") - 3)) conv=notrunc status=none &&
    touch -d '2001-01-01 00:00:00' "$1"
}

# change_case NAME CTX INPUT WHEN CHANGE [JOBS]: holds the WHEN-th read of the
# private copy of INPUT, applies CHANGE to it, and lets the run go on.
change_case() {
  local name=$1 context=$2 input=$3 when=$4 change=$5 jobs=${6:-1}
  local pattern="^${input//./\\.}\$"
  CASE_CLASS=13 CASE_NAME=$name CASE_CTX=$context CASE_JOBS=$jobs CASE_PRIVATE_INPUTS=yes
  CASE_REMOVED=${input//./\\.}  # changed on purpose: not judged as an input
  CASE_MUST_FAIL=$pattern CASE_FAIL_REASON='changed while it was read'
  CASE_STRACE=(-P "@IN@/$input" -e trace=read -e "inject=read:delay_enter=2000000:when=$when")
  prepare_run
  run_command_words
  CASE_HIT=none  # a delay is not marked as injected; being held is the proof
  (
    env "${RUN_ENV[@]}" timeout -k 5 "$CASE_TIMEOUT" "${RUN_COMMAND[@]}" 2>&1 \
      >"$RUN_DIR/stdout" | cat >"$RUN_DIR/stderr"
    exit "${PIPESTATUS[0]}"
  ) 2>/dev/null &
  local runner=$! rc
  STARTED_PIDS+=("$runner")
  RUN_REACHED=no
  if held_thread "$RUN_DIR/strace.log" read "$when" >/dev/null &&
    "$change" "$RUN_DIR/in/$input" 2>>"$RUN_DIR/setup.err"; then
    RUN_REACHED=yes
  fi
  wait "$runner"
  rc=$?
  forget_pid "$runner"
  judge_run "$rc" cli
  RUN_REACHED=yes
  reset_case
}

class_13() {
  say "class 13: an input changes while it is read"
  # The victim is read whole by its first read; the second finds the end.
  change_case single-truncated-before-first-read single victim.csv 1 truncate_to_half
  change_case single-emptied-once-read-whole single victim.csv 2 truncate_to_nothing
  change_case single-rewritten-same-size-once-read-whole single victim.csv 2 rewrite_same_size
  change_case large-truncated-midway bigone big.csv 3 truncate_to_half
  change_case large-grown-midway bigone big.csv 3 append_a_record
  change_case batch-f050-truncated-two-jobs batch f050.csv 1 truncate_to_half 2
}
