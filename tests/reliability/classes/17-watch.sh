# shellcheck shell=bash disable=SC2034  # the CASE_* variables are read by lib/judge.sh
# Class 17: rowvane-cli --watch over an inbox holding the 100-file batch,
# with --done and --failed. It is killed (-9), or stopped by SIGTERM or
# SIGINT, while a file is being converted, or its output folder is a small
# disk that fills up (what does not fit waits in the inbox until there is
# room). Whatever happens, every input must stand whole in
# exactly one of INBOX (still waiting), --done (converted: its complete
# output stands) or --failed (with NAME.error.txt beside it, its earlier
# output kept); no output name may hold anything but the complete
# conversion or the earlier file. After a kill, a watcher started again
# must finish the inbox and leave no temporary file.

CLASS_TITLES[17]='17 watched inbox'

# The folders of the watch run in $RUN_DIR.
watch_folders() {
  WATCH_INBOX=$RUN_DIR/in WATCH_DONE=$RUN_DIR/done WATCH_FAILED=$RUN_DIR/failed
  mkdir -p "$WATCH_INBOX" "$WATCH_DONE" "$WATCH_FAILED"
}

# start_watcher [WRAPPER...]: a watcher over the run's folders in the
# background (WATCH_PID), its standard error added to $RUN_DIR/stderr.
start_watcher() {
  # A command a script starts in the background ignores SIGINT; as under
  # Ctrl-C in a terminal, it gets the default back (perl keeps the process).
  # shellcheck disable=SC2016  # the perl code is in single quotes on purpose
  "$@" perl -e '$SIG{INT} = "DEFAULT"; exec @ARGV or exit 127' "$CLI" -q -j 2 --settle 0.1 \
    --watch "$WATCH_INBOX" -o "$RUN_OUT" --done "$WATCH_DONE" --failed "$WATCH_FAILED" \
    >>"$RUN_DIR/stdout" 2>>"$RUN_DIR/stderr" &
  WATCH_PID=$!
  STARTED_PIDS+=("$WATCH_PID")
}

# end_watcher SIGNAL: sends SIGNAL and waits for the end; WATCH_RC is its status.
end_watcher() {
  kill "-$1" "$WATCH_PID" 2>/dev/null
  { wait "$WATCH_PID"; } 2>/dev/null
  WATCH_RC=$?
  forget_pid "$WATCH_PID"
}

csv_in_inbox() { find "$WATCH_INBOX" -name '*.csv' | grep -c . || true; }

# until_inbox_empty SECONDS: true once every input has left the inbox.
until_inbox_empty() {
  local deadline=$((SECONDS + $1))
  while ((SECONDS < deadline)); do
    (($(csv_in_inbox) == 0)) && return 0
    kill -0 "$WATCH_PID" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}

# hold_while_reading INPUT: stops the watcher once it holds INPUT open and
# has its temporary output open in the output folder; true when it did. The
# looking is done by one perl process at a real-time priority, so that a
# busy machine cannot keep it from looking every few milliseconds: the large
# file takes a few dozen to convert.
hold_while_reading() {
  local looker=(perl)
  chrt -f 10 true 2>/dev/null && looker=(chrt -f 10 perl)
  # shellcheck disable=SC2016  # the perl code is in single quotes on purpose
  "${looker[@]}" -e '
    my ($pid, $input, $out) = @ARGV;
    my $deadline = time + 30;
    while (time < $deadline && kill("STOP", $pid)) {
      my @targets = map { readlink($_) // "" } glob("/proc/$pid/fd/*");
      exit 0 if grep({ $_ eq $input } @targets) && grep({ index($_, "$out/") == 0 } @targets);
      kill("CONT", $pid);
      select(undef, undef, undef, 0.001);
    }
    kill("CONT", $pid);
    exit 1;' "$WATCH_PID" "$1" "$RUN_OUT"
}

# new_watch_run NAME: a run folder, the batch in its inbox and the earlier
# outputs in its output folder (unless OUT is given, e.g. a small disk).
new_watch_run() {
  CASE_CLASS=17 CASE_NAME=$1 CASE_CTX=batch
  new_run_folder
  RUN_OUT=${2:-$RUN_DIR/out}
  mkdir -p "$RUN_OUT"
  cp -p "$W"/prior/batch/*.xml "$RUN_OUT/"
  watch_folders
  cp -p "$W"/data/batch/*.csv "$WATCH_INBOX/"
  hash_folder "$RUN_OUT" >"$RUN_DIR/before"
  : >"$RUN_DIR/stderr"
}

# judge_watch MODE RC [EXPECTED_RC]: the verdict row of the run. MODE is
# killed (status and temporary files not judged), stopped (inputs may wait
# in the inbox) or finished (the inbox must be empty). Extra conditions come
# in WATCH_MIN_FAILED, WATCH_MIN_CONVERTED, WATCH_WAITING (an input that
# must still be in the inbox) and WATCH_HUNG (the inbox did not empty in time).
judge_watch() {
  local mode=$1 rc=$2 expected=${3:-0}
  local hit=1 inputs_ok=1 outputs_ok=1 rest_ok=1 temps=0 crash=0 hang=${WATCH_HUNG:-0}
  local reports_ok=1 lost=0 notes=() failed=0 converted=0
  ((hang)) && notes+=("the inbox did not empty in time")
  local -A reference=() before=() now=()
  load_hashes "$W/ref/batch.sha" reference
  load_hashes "$RUN_DIR/before" before
  hash_folder "$RUN_OUT" >"$RUN_DIR/after"
  load_hashes "$RUN_DIR/after" now
  [[ ${RUN_REACHED:-yes} == yes ]] || { hit=0 && notes+=("the watcher was never held at the file"); }
  if [[ $mode != killed ]]; then
    ((rc == expected)) || { reports_ok=0 && notes+=("exit status $rc, expected $expected"); }
    ((rc >= 128 && rc != expected)) && crash=1
  fi
  grep -Eq 'AddressSanitizer|runtime error:|terminate called|Segmentation fault' \
    "$RUN_DIR/stderr" && { crash=1 && notes+=("abort or sanitizer message on stderr"); }

  local input base name sha places place output
  for input in "$W"/data/batch/*.csv; do
    base=${input##*/} name=$(output_name "$input") sha=$(sha_of "$input") places=()
    for place in "$WATCH_INBOX" "$WATCH_DONE" "$WATCH_FAILED"; do
      [[ -e $place/$base ]] || continue
      if [[ $(sha_of "$place/$base") == "$sha" ]]; then
        places+=("${place##*/}")
      else
        lost=$((lost + 1)) inputs_ok=0 && notes+=("${place##*/}/$base is damaged")
      fi
    done
    if ((${#places[@]} != 1)); then
      ((${#places[@]} == 0)) && lost=$((lost + 1))
      inputs_ok=0 && notes+=("$base stands in ${#places[@]} places: ${places[*]}")
      continue
    fi
    output=${now[$name]:-}
    if [[ $output != "${reference[$name]}" && $output != "${before[$name]:-}" ]]; then
      lost=$((lost + 1)) outputs_ok=0 && notes+=("$name is neither its conversion nor the earlier file")
    fi
    case ${places[0]} in
      done)
        converted=$((converted + 1))
        [[ $output == "${reference[$name]}" ]] ||
          { lost=$((lost + 1)) outputs_ok=0 && notes+=("$base is in done without its output"); }
        ;;
      failed)
        failed=$((failed + 1))
        [[ -s $WATCH_FAILED/$base.error.txt ]] ||
          { reports_ok=0 && notes+=("$base failed without $base.error.txt"); }
        grep -qF "$WATCH_INBOX/$base: " "$RUN_DIR/stderr" ||
          { reports_ok=0 && notes+=("$base failed without a line on standard error"); }
        ;;
      in) [[ $mode == finished ]] && rest_ok=0 && notes+=("$base is still in the inbox") ;;
    esac
    [[ $base != "${WATCH_WAITING:-}" || ${places[0]} == in ]] ||
      { rest_ok=0 && notes+=("$base was in hand, but left the inbox"); }
  done
  for name in "${!now[@]}"; do
    [[ -n ${reference[$name]:-} || -n ${before[$name]:-} || $name == .rowvane-* ]] ||
      { outputs_ok=0 && notes+=("unexpected file $name in the output folder"); }
  done
  ((failed >= ${WATCH_MIN_FAILED:-0})) ||
    { rest_ok=0 && notes+=("$failed failed, expected at least $WATCH_MIN_FAILED"); }
  ((converted >= ${WATCH_MIN_CONVERTED:-0})) ||
    { rest_ok=0 && notes+=("$converted converted, expected at least $WATCH_MIN_CONVERTED"); }

  local left
  left=$(temporary_files "$RUN_OUT" "$WATCH_INBOX" "$WATCH_DONE" "$WATCH_FAILED")
  if [[ -n $left && $mode == killed ]]; then
    notes+=("after the kill (expected): $(grep -c . <<<"$left") temporary file(s)")
  elif [[ -n $left ]]; then
    temps=$(grep -c . <<<"$left")
    notes+=("temporary files left: $(printf '%s' "$left" | sed "s|$W/||" | tr '\n' ' ')")
  fi
  ((${#notes[@]} > 8)) && notes=("${notes[@]:0:8}" "... and $((${#notes[@]} - 8)) more")
  local IFS=';'
  record_row 17 cli "$CASE_NAME" "$hit" "$inputs_ok" "$outputs_ok" "$rest_ok" "$temps" "$crash" \
    "$hang" "$reports_ok" "$lost" "${notes[*]}"
  RUN_REACHED=yes WATCH_MIN_FAILED=0 WATCH_MIN_CONVERTED=0 WATCH_WAITING='' WATCH_HUNG=0
}

# finish_inbox NAME: starts the watcher again over the same folders, lets it
# empty the inbox, stops it, and judges that nothing is left undone.
finish_inbox() {
  local out=$RUN_OUT before=$RUN_DIR/before
  CASE_NAME=$1
  new_run_folder  # the watch folders stay those of the killed run
  RUN_OUT=$out
  cp "$before" "$RUN_DIR/before"
  : >"$RUN_DIR/stderr"
  start_watcher
  until_inbox_empty 90 || WATCH_HUNG=1
  end_watcher TERM
  WATCH_MIN_CONVERTED=1 judge_watch finished "$WATCH_RC"
}

# mid_file_case SIGNAL: the signal while f077 (the large one) is converted.
mid_file_case() {
  local signal=$1
  new_watch_run "$signal-while-converting"
  start_watcher
  RUN_REACHED=no
  if hold_while_reading "$WATCH_INBOX/f077.csv"; then
    RUN_REACHED=yes
  fi
  kill "-$signal" "$WATCH_PID"
  kill -CONT "$WATCH_PID" 2>/dev/null
  { wait "$WATCH_PID"; } 2>/dev/null
  local rc=$?
  forget_pid "$WATCH_PID"
  if [[ $signal == KILL ]]; then
    judge_watch killed "$rc"
    finish_inbox "watch-again-after-kill"
  else
    # The file in hand is abandoned: it waits in the inbox, and SIGINT or
    # SIGTERM is the normal end of a watch (status 0).
    WATCH_WAITING=f077.csv judge_watch stopped "$rc" 0
  fi
}

# --done on another file system, and the watcher killed while it copies an
# input there: no name in --done may hold part of a copy, and nothing of the
# copy may be left once the inbox has been emptied by a watcher started again.
killed_while_copying_case() {
  local done_disk=$W/mnt/watch-done
  mkdir -p "$done_disk"
  mount -t tmpfs -o size=64m,mode=0755 tmpfs "$done_disk"
  MOUNTS+=("$done_disk")
  new_watch_run KILL-while-copying-into-done
  WATCH_DONE=$done_disk/done
  mkdir -p "$WATCH_DONE"
  local log=$RUN_DIR/strace.log thread process tracer
  start_watcher strace -f -qq -o "$log" -e trace=sendfile -e inject=sendfile:delay_exit=20s:when=3 --
  RUN_REACHED=no
  if thread=$(held_thread "$log" sendfile 3); then
    process=$(awk '/^Tgid:/ { print $2 }' "/proc/$thread/status" 2>/dev/null)
    [[ -n $process ]] && kill -9 "$process" 2>/dev/null && RUN_REACHED=yes
  fi
  for tracer in "$WATCH_PID" $(children_of "$WATCH_PID"); do
    kill -9 "$tracer" 2>/dev/null || true
  done
  { wait "$WATCH_PID"; } 2>/dev/null
  forget_pid "$WATCH_PID"
  judge_watch killed 137
  finish_inbox watch-again-after-kill-while-copying
  unmount_small_disk "$done_disk"
}

# The output folder a small disk that the batch fills: what does not fit
# waits in the inbox (never in --failed, the inputs are not to blame) and
# converts once the disk has room again.
disk_full_case() {
  local disk=$W/mnt/watch-disk
  mount_small_disk "$disk" 256k
  new_watch_run watch-output-disk-fills "$disk/out"
  start_watcher
  RUN_REACHED=no
  wait_for_line "$RUN_DIR/stderr" 'no room for the output' 60 && RUN_REACHED=yes
  mount -o remount,size=64m "$disk"
  until_inbox_empty 90 || WATCH_HUNG=1
  end_watcher TERM
  WATCH_MIN_CONVERTED=100 judge_watch finished "$WATCH_RC"
  unmount_small_disk "$disk"
}

class_17() {
  say "class 17: the watched inbox"
  local signal
  for signal in KILL TERM INT; do
    mid_file_case "$signal"
  done
  killed_while_copying_case
  disk_full_case
  reset_case
}
