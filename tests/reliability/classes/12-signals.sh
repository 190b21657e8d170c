# shellcheck shell=bash disable=SC2034  # the CASE_* variables are read by lib/judge.sh
# Class 12: SIGINT, SIGTERM and SIGHUP while rowvane-cli writes an output.
# It must leave no temporary file, keep the earlier output or the complete
# new one, and end by that same signal, as a shell (status 130, 143, 129)
# and a loop calling it expect.

# signal_case SIGNAL: the run over the large input gets SIGNAL once it holds
# a file open in the output folder.
signal_case() {
  local signal=$1 pid rc deadline=$((SECONDS + 20))
  CASE_CLASS=12 CASE_NAME=$signal-while-writing CASE_CTX=bigone CASE_JOBS=1
  CASE_MAY_FAIL='.' CASE_REPORTS=exit
  prepare_run
  run_command_words
  # A command a script starts in the background ignores SIGINT; as under
  # Ctrl-C in a terminal, it gets the default back (perl keeps the process).
  # shellcheck disable=SC2016  # the perl code is in single quotes on purpose
  env "${RUN_ENV[@]}" perl -e '$SIG{INT} = "DEFAULT"; exec @ARGV or exit 127' "${RUN_COMMAND[@]}" \
    >"$RUN_DIR/stdout" 2>"$RUN_DIR/stderr" &
  pid=$!
  STARTED_PIDS+=("$pid")
  RUN_REACHED=no
  # Stopped while it is looked at, it cannot finish before the signal comes.
  while ((SECONDS < deadline)) && kill -STOP "$pid" 2>/dev/null; do
    if find "/proc/$pid/fd" -lname "$RUN_OUT/*" 2>/dev/null | grep -q .; then
      kill "-$signal" "$pid"
      RUN_REACHED=yes
      kill -CONT "$pid"
      break
    fi
    kill -CONT "$pid"
    sleep 0.005
  done
  # The shell's own notice of the death by signal stays out of the log.
  { wait "$pid"; } 2>/dev/null
  rc=$?
  forget_pid "$pid"
  RUN_SIGNALLED=$(kill -l "$signal") judge_run "$rc" cli
  RUN_REACHED=yes
  reset_case
}

class_12() {
  say "class 12: termination signals while saving"
  local signal
  for signal in INT TERM HUP; do
    signal_case "$signal"
  done
}
