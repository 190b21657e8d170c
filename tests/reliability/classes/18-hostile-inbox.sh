# shellcheck shell=bash disable=SC2034  # the CASE_* variables are read by lib/judge.sh
# Class 18: a watched inbox that another user writes to. Root watches an
# inbox that nobody (65534) may write into, and nobody tries to have root
# convert, move or hand out what only root may read or run: a sub-folder or a
# ready file swapped for a link to a root-only file, a set-user-ID program
# dropped where --done lies on another file system, hidden and "~" names;
# and the output disk fills, which must leave the inputs waiting, not fail
# them. Beside "data lost", every run counts what was disclosed: an output or
# a moved file that nobody can read although nobody could not read its input,
# or a file nobody can run as root.

CLASS_TITLES[18]='18 hostile inbox'

SECRET_MARK=root-only-secret-7f3a

as_nobody() { setpriv --reuid=65534 --regid=65534 --clear-groups "$@"; }

# hostile_run NAME: a run folder with an inbox nobody may write to, the
# output, done and failed folders of root, and a root-only folder holding a
# root-only CSV file.
hostile_run() {
  CASE_CLASS=18 CASE_NAME=$1
  new_run_folder
  HOSTILE_INBOX=$RUN_DIR/in HOSTILE_OUT=$RUN_DIR/out HOSTILE_DONE=$RUN_DIR/done
  HOSTILE_FAILED=$RUN_DIR/failed HOSTILE_SECRET=$RUN_DIR/secret
  mkdir -p "$HOSTILE_INBOX" "$HOSTILE_OUT" "$HOSTILE_DONE" "$HOSTILE_FAILED" "$HOSTILE_SECRET"
  chown 65534:65534 "$HOSTILE_INBOX"
  chmod 0700 "$HOSTILE_SECRET"
  printf 'id,secret\r\n1,%s\r\n' "$SECRET_MARK" >"$HOSTILE_SECRET/secret.csv"
  cp "$HOSTILE_SECRET/secret.csv" "$HOSTILE_SECRET/y.csv"
  chmod 0600 "$HOSTILE_SECRET"/*.csv
  sha_of "$HOSTILE_SECRET/secret.csv" >"$RUN_DIR/secret.sha"
  : >"$RUN_DIR/stderr"
  HOSTILE_NOTES=()
}

# start_hostile_watcher [OPTIONS...]: root's watcher over the run's folders.
start_hostile_watcher() {
  "$CLI" -q -j 1 --watch "$HOSTILE_INBOX" -o "$HOSTILE_OUT" --done "$HOSTILE_DONE" \
    --failed "$HOSTILE_FAILED" "$@" >>"$RUN_DIR/stdout" 2>>"$RUN_DIR/stderr" &
  WATCH_PID=$!
  STARTED_PIDS+=("$WATCH_PID")
  # The watcher has looked through the inbox once it watches it.
  local deadline=$((SECONDS + 10))
  until grep -q inotify "/proc/$WATCH_PID/fdinfo/"* 2>/dev/null || ((SECONDS >= deadline)); do
    sleep 0.02
  done
  sleep 0.1
}

stop_hostile_watcher() {
  kill -TERM "$WATCH_PID" 2>/dev/null
  { wait "$WATCH_PID"; } 2>/dev/null
  WATCH_RC=$?
  forget_pid "$WATCH_PID"
}

# disclosed_files: the files below the run's output, done and failed folders
# that nobody can read and that hold the secret, or that run as root.
disclosed_files() {
  local file
  while IFS= read -r -d '' file; do
    if as_nobody test -r "$file" && grep -q "$SECRET_MARK" "$file" 2>/dev/null; then
      printf '%s\n' "${file#"$RUN_DIR"/}"
    elif [[ -u $file || -g $file ]]; then
      printf '%s\n' "${file#"$RUN_DIR"/} (set-user-ID or set-group-ID)"
    fi
  done < <(find "$HOSTILE_OUT" "$HOSTILE_DONE" "$HOSTILE_FAILED" -type f -print0)
}

# judge_hostile [EXPECTED_RC]: the run's row. Extra conditions come as notes
# in HOSTILE_NOTES (each one a broken expectation).
judge_hostile() {
  local hit=${HOSTILE_HIT:-1} inputs_ok=1 outputs_ok=1 rest_ok=1 temps=0 crash=0 hang=0
  local reports_ok=1 lost=0 disclosed notes=("${HOSTILE_NOTES[@]}")
  ((WATCH_RC == ${1:-0})) || { reports_ok=0 && notes+=("exit status $WATCH_RC"); }
  grep -Eq 'AddressSanitizer|runtime error:|terminate called|Segmentation fault' \
    "$RUN_DIR/stderr" && { crash=1 && notes+=("abort or sanitizer message on stderr"); }
  if [[ ! -f $HOSTILE_SECRET/secret.csv ||
    $(sha_of "$HOSTILE_SECRET/secret.csv") != "$(cat "$RUN_DIR/secret.sha")" ]]; then
    lost=$((lost + 1)) inputs_ok=0 && notes+=("the root-only file was moved or changed")
  fi
  disclosed=$(disclosed_files)
  if [[ -n $disclosed ]]; then
    outputs_ok=0
    notes+=("disclosed: $(tr '\n' ' ' <<<"$disclosed")")
    grep -c . <<<"$disclosed" >>"$W/disclosed"
  fi
  # Each note is an expectation of the run that did not hold.
  ((${#notes[@]} > 0)) && rest_ok=0
  local left
  left=$(temporary_files "$HOSTILE_OUT" "$HOSTILE_INBOX" "$HOSTILE_DONE" "$HOSTILE_FAILED")
  [[ -n $left ]] && temps=$(grep -c . <<<"$left") && notes+=("temporary files left")
  local IFS=';'
  record_row 18 cli "$CASE_NAME" "$hit" "$inputs_ok" "$outputs_ok" "$rest_ok" "$temps" "$crash" \
    "$hang" "$reports_ok" "$lost" "${notes[*]}"
  HOSTILE_HIT=1
}

# until_converted FILE SECONDS: true once FILE stands in the output folder.
until_converted() {
  local deadline=$((SECONDS + $2))
  until [[ -e $HOSTILE_OUT/$1 ]]; do
    ((SECONDS < deadline)) || return 1
    sleep 0.05
  done
}

# A sub-folder with a decoy is swapped for a link to the root-only folder
# before the decoy is due.
folder_swap_case() {
  hostile_run subfolder-swapped-for-link
  as_nobody mkdir "$HOSTILE_INBOX/sub"
  as_nobody sh -c "printf 'id,x\r\n1,decoy\r\n' >'$HOSTILE_INBOX/sub/secret.csv'"
  start_hostile_watcher -r --settle 1
  as_nobody mv "$HOSTILE_INBOX/sub" "$HOSTILE_INBOX/old"
  as_nobody ln -s "$HOSTILE_SECRET" "$HOSTILE_INBOX/sub"
  # The decoy, now in old/, is converted; nothing under the link is.
  until_converted secret.xml 20 || HOSTILE_NOTES+=("the decoy in old/ was not converted")
  sleep 1.5
  stop_hostile_watcher
  judge_hostile
}

# A ready file is swapped for a link while the watcher converts another one.
file_swap_case() {
  hostile_run ready-file-swapped-for-link
  cp "$W/data/bigone/big.csv" "$HOSTILE_INBOX/a-big.csv"
  as_nobody sh -c "printf 'id,x\r\n1,harmless\r\n' >'$HOSTILE_INBOX/y.csv'"
  chown 65534:65534 "$HOSTILE_INBOX/a-big.csv"
  start_hostile_watcher --settle 0.2
  HOSTILE_HIT=0
  WATCH_PID=$WATCH_PID hold_watcher_reading "$HOSTILE_INBOX/a-big.csv" && HOSTILE_HIT=1
  as_nobody ln -sf "$HOSTILE_SECRET/y.csv" "$HOSTILE_INBOX/y.csv"
  kill -CONT "$WATCH_PID" 2>/dev/null
  until_converted a-big.xml 30 || HOSTILE_NOTES+=("a-big.csv was not converted")
  sleep 1
  stop_hostile_watcher
  [[ -L $HOSTILE_INBOX/y.csv ]] || HOSTILE_NOTES+=("the link planted as y.csv was moved")
  judge_hostile
}

# hold_watcher_reading INPUT: stops the watcher once it holds INPUT open.
hold_watcher_reading() {
  # shellcheck disable=SC2016  # the perl code is in single quotes on purpose
  perl -e '
    my ($pid, $input) = @ARGV;
    my $deadline = time + 30;
    while (time < $deadline && kill("STOP", $pid)) {
      exit 0 if grep { (readlink($_) // "") eq $input } glob("/proc/$pid/fd/*");
      kill("CONT", $pid);
      select(undef, undef, undef, 0.001);
    }
    kill("CONT", $pid);
    exit 1;' "$WATCH_PID" "$1"
}

# A set-user-ID copy of id dropped into an inbox on tmpfs, --done on disk.
setuid_drop_case() {
  hostile_run setuid-program-moved-across-disks
  local disk=$W/mnt/hostile-inbox
  mount_small_disk "$disk" 16m
  HOSTILE_INBOX=$disk/in
  mkdir -p "$HOSTILE_INBOX" && chown 65534:65534 "$HOSTILE_INBOX"
  start_hostile_watcher --settle 0.2
  as_nobody cp /usr/bin/id "$HOSTILE_INBOX/z.tmp"
  as_nobody chmod 4755 "$HOSTILE_INBOX/z.tmp"
  as_nobody mv "$HOSTILE_INBOX/z.tmp" "$HOSTILE_INBOX/z.csv"
  local deadline=$((SECONDS + 20))
  until [[ ! -e $HOSTILE_INBOX/z.csv ]] || ((SECONDS >= deadline)); do sleep 0.05; done
  stop_hostile_watcher
  [[ -e $HOSTILE_DONE/z.csv || -e $HOSTILE_FAILED/z.csv ]] ||
    HOSTILE_NOTES+=("z.csv was not moved out of the inbox")
  judge_hostile
  unmount_small_disk "$disk"
}

# Hidden and "~" names are left alone; a visible one beside them converts.
hidden_names_case() {
  hostile_run hidden-and-tilde-names
  local name
  for name in .hidden.csv '~lock.csv' visible.csv; do
    as_nobody sh -c "printf 'id,x\r\n1,%s\r\n' '$name' >'$HOSTILE_INBOX/$name'"
  done
  start_hostile_watcher --settle 0.1
  until_converted visible.xml 20 || HOSTILE_NOTES+=("visible.csv was not converted")
  sleep 0.5
  stop_hostile_watcher
  for name in .hidden.csv '~lock.csv'; do
    [[ -f $HOSTILE_INBOX/$name ]] || HOSTILE_NOTES+=("$name left the inbox")
  done
  [[ -z $(find "$HOSTILE_OUT" -name '.hidden*' -o -name '~*') ]] ||
    HOSTILE_NOTES+=("a hidden or ~ name was converted")
  judge_hostile
}

# The output disk is too small: the input waits in the inbox, never in
# --failed, and converts once there is room.
full_output_disk_case() {
  hostile_run output-disk-full-then-room
  local disk=$W/mnt/hostile-out
  mount_small_disk "$disk" 64k
  HOSTILE_OUT=$disk/out
  mkdir -p "$HOSTILE_OUT"
  cp "$W/data/batch/f050.csv" "$HOSTILE_INBOX/" && chown 65534:65534 "$HOSTILE_INBOX/f050.csv"
  local before
  before=$(sha_of "$HOSTILE_INBOX/f050.csv")
  start_hostile_watcher --settle 0.1
  HOSTILE_HIT=0
  wait_for_line "$RUN_DIR/stderr" 'no room for the output' 20 && HOSTILE_HIT=1
  [[ -f $HOSTILE_INBOX/f050.csv && ! -e $HOSTILE_FAILED/f050.csv ]] ||
    HOSTILE_NOTES+=("f050.csv did not wait in the inbox")
  mount -o remount,size=16m "$disk"
  until_converted f050.xml 30 || HOSTILE_NOTES+=("f050.csv was not converted once there was room")
  sleep 0.3
  stop_hostile_watcher
  [[ -f $HOSTILE_DONE/f050.csv && $(sha_of "$HOSTILE_DONE/f050.csv") == "$before" ]] ||
    HOSTILE_NOTES+=("f050.csv is not whole in --done")
  judge_hostile
  unmount_small_disk "$disk"
}

class_18() {
  say "class 18: a watched inbox under a hostile second user"
  : >"$W/disclosed"
  folder_swap_case
  file_swap_case
  setuid_drop_case
  hidden_names_case
  full_output_disk_case
  reset_case
}
