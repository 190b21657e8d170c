# shellcheck shell=bash disable=SC2034,SC2054  # the CASE_* variables are read by lib/judge.sh
# Class 7: kill -9 at points along the save path. strace holds the process
# at one system call (delay_enter: before it, delay_exit: after it); once it
# is held there it is killed. Every output must then be the earlier one or
# the complete new one, and the next run must convert everything and leave
# no temporary file behind.

# call_ordinal CTX SYSCALL PATTERN: the number of the converting thread's
# first SYSCALL whose decoded line matches PATTERN, in a fault-free run with
# -j1 (strace counts calls per thread).
call_ordinal() {
  local log=$W/calibration.log out=$W/calibration-out inputs
  rm -rf "$out" && mkdir -p "$out"
  mapfile -t inputs < <(context_inputs "$1")
  strace -f -qq -y -o "$log" -e "trace=$2" "$CLI" -q -j1 -o "$out" "${inputs[@]}" >/dev/null 2>&1
  awk -v call="$2(" -v pattern="$3" '
    NR == 1 { main = $1 }
    $1 == main && index($2, call) == 1 { n++; if ($0 ~ pattern) { print n; exit } }' "$log"
  rm -rf "$out"
}

# held_thread LOG SYSCALL WHEN: the thread that made its WHEN-th SYSCALL, once
# the log shows it (at entry for a delayed entry, with its result for a
# delayed exit) and nothing has followed it for a moment.
held_thread() {
  local log=$1 call=$2 when=$3 deadline=$((SECONDS + 20)) thread='' size=-1 now
  while ((SECONDS < deadline)); do
    thread=$(awk -v call="$call(" -v when="$when" '
      index($2, call) == 1 && ++seen[$1] == when { print $1; exit }' "$log" 2>/dev/null)
    if [[ -n $thread ]]; then
      now=$(stat -c %s "$log")
      if ((now == size)); then
        printf '%s' "$thread"
        return 0
      fi
      size=$now
    fi
    sleep 0.1
  done
  return 1
}

# kill_case NAME CTX JOBS SYSCALL WHEN enter|exit
kill_case() {
  local name=$1 context=$2 jobs=$3 syscall=$4 when=$5 side=$6
  CASE_CLASS=7 CASE_NAME=kill-$name CASE_CTX=$context CASE_JOBS=$jobs CASE_MAY_FAIL='.'
  CASE_STRACE=(-y -e "trace=$syscall" -e "inject=$syscall:delay_$side=20s:when=$when")
  prepare_run
  run_command_words
  CASE_HIT=none  # a delay is not marked as injected; being held is the proof
  env "${RUN_ENV[@]}" timeout -k 5 60 "${RUN_COMMAND[@]}" >"$RUN_DIR/stdout" 2>"$RUN_DIR/stderr" &
  local runner=$! thread process
  STARTED_PIDS+=("$runner")
  RUN_REACHED=no
  if thread=$(held_thread "$RUN_DIR/strace.log" "$syscall" "$when"); then
    process=$(awk '/^Tgid:/ { print $2 }' "/proc/$thread/status" 2>/dev/null)
    if [[ -n $process ]] && kill -9 "$process" 2>/dev/null; then
      RUN_REACHED=yes
    fi
  fi
  # strace would sit out its delay before it notices the death: end it too.
  local tracer
  for tracer in $(children_of "$runner"); do
    kill -9 "$tracer" 2>/dev/null || true
  done
  wait "$runner" 2>/dev/null || true
  forget_pid "$runner"
  RUN_KILLED=yes judge_run 137 cli
  RUN_REACHED=yes
  reset_case

  # The next run, into the same folder, without any fault.
  local out=$RUN_OUT
  CASE_CLASS=7 CASE_NAME=next-run-after-kill-$name CASE_CTX=$context CASE_JOBS=$jobs
  CASE_OUT=$out CASE_PRIOR=no
  run_case
}

class_7() {
  say "class 7: kill -9 while saving"
  local input_open temporary_open close_before_rename
  input_open=$(call_ordinal single openat 'victim\.csv')
  temporary_open=$(call_ordinal single openat O_TMPFILE)
  close_before_rename=$(call_ordinal single close '/#[0-9]+>')

  kill_case before-input-open single 1 openat "$input_open" enter
  kill_case before-temporary-created single 1 openat "$temporary_open" enter
  kill_case temporary-created-empty single 1 openat "$temporary_open" exit
  kill_case before-first-write single 1 write 1 enter
  kill_case after-all-written-unsynced single 1 write 1 exit
  kill_case before-data-flush single 1 fdatasync 1 enter
  kill_case after-data-flush-before-rename single 1 fdatasync 1 exit
  kill_case before-rename single 1 renameat 1 enter
  kill_case after-rename single 1 renameat 1 exit
  kill_case before-close-before-rename single 1 close "$close_before_rename" enter
  kill_case before-folder-fsync single 1 fsync 1 enter
  kill_case after-folder-fsync single 1 fsync 1 exit

  kill_case large-before-first-block bigone 1 write 1 enter
  kill_case large-before-fifth-block bigone 1 write 5 enter
  kill_case large-after-fifth-block bigone 1 write 6 enter
  kill_case large-before-data-flush bigone 1 fdatasync 1 enter
  kill_case large-before-rename bigone 1 renameat 1 enter

  kill_case batch-before-20th-write batch 2 write 20 enter
  kill_case batch-before-30th-rename batch 2 renameat 30 enter
  kill_case batch-after-30th-rename batch 2 renameat 30 exit
  # Inside a group: some members' data flushed (each flush thread is held at
  # its first), none renamed; then after a group's renames, before its
  # folder flush; then after that flush, once the group has been reported.
  kill_case batch-group-during-data-flush batch 2 fdatasync 1 exit
  kill_case batch-group-renamed-before-folder-flush batch 2 fsync 1 enter
  kill_case batch-group-after-folder-flush batch 2 fsync 1 exit
}
