# shellcheck shell=bash disable=SC2034  # the CASE_* variables are read by lib/judge.sh
# Class 9: the real program starts on a broken settings file: garbage,
# empty, a stored folder of 8 MiB, unreadable, a folder in its place, or on
# a full disk. It must come up, stay up, store the default folder where it
# can, and end cleanly on SIGTERM. (The window's own view of it is in
# SettingsFaultTest.)

# settings_case NAME SPOIL [nobody]: SPOIL prepares $home/config/Quorvel/Rowvane.conf.
settings_case() {
  local name=$1 spoil=$2 as_user=${3:-}
  local dir=$W/runs/settings-$name home
  rm -rf "$dir"
  home=$dir/home
  mkdir -p "$home/config/Quorvel" "$home/Desktop"
  # Private, so that it holds the window's hand-over socket too.
  chmod 0700 "$dir"
  local file=$home/config/Quorvel/Rowvane.conf
  [[ -n $as_user ]] && chown -R 65534:65534 "$dir"
  "$spoil" "$file" "$dir"
  local before
  before=$(sha_of "$file")

  local runner=() notes=() crash=0 hang=0 reports_ok=1 outputs_ok=1 lost=0 rc started=yes
  [[ -n $as_user ]] && runner=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  env -i PATH="$PATH" HOME="$home" XDG_CONFIG_HOME="$home/config" QT_QPA_PLATFORM=offscreen \
    ROWVANE_NO_HOME_PAGE=1 XDG_RUNTIME_DIR="$dir" "${runner[@]}" "$APP" >"$dir/output" 2>&1 &
  local pid=$!
  STARTED_PIDS+=("$pid")
  sleep 2.5
  if kill -0 "$pid" 2>/dev/null; then
    kill -TERM "$pid"
    local deadline=$((SECONDS + 10))
    while kill -0 "$pid" 2>/dev/null && ((SECONDS < deadline)); do
      sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
      hang=1
      notes+=("still running 10 s after SIGTERM")
      kill -9 "$pid" 2>/dev/null || true
    fi
  else
    notes+=("ended by itself within 2.5 s")
    crash=1
  fi
  wait "$pid" 2>/dev/null
  rc=$?
  forget_pid "$pid"
  if exec_failed "$rc"; then
    started=no
    notes+=("the program could not be started (exit status $rc): $(head -c 200 "$dir/output")")
    not_started 9 binary "start-on-$name"
  fi
  # SIGTERM ends a Qt program by its default action (143) or by a clean exit.
  if ((hang == 0 && rc != 143 && rc != 0)); then
    crash=1
    notes+=("exit status $rc")
  fi
  if grep -Eq 'AddressSanitizer|runtime error:|terminate called|Segmentation fault' "$dir/output"; then
    crash=1
    notes+=("abort or sanitizer message")
  fi
  # Where the file can be written, the program stores the default it shows.
  if [[ $spoil == garbage_settings || $spoil == empty_settings || $spoil == huge_settings ]]; then
    if ! grep -q "^Text1=$home/Desktop/\$" "$file" 2>/dev/null; then
      reports_ok=0
      notes+=("the stored folder is not the default $home/Desktop/: $(grep -a Text1 "$file" | head -1)")
    fi
  fi
  # A settings file that could not be written is left as it was.
  if [[ $spoil == full_disk_settings ]] && [[ $(sha_of "$file") != "$before" ]]; then
    outputs_ok=0
    lost=1
    notes+=("the settings file changed on a full disk")
  fi
  local hit=1
  [[ $started == yes ]] || hit=0
  record_row 9 binary "start-on-$name" "$hit" 1 "$outputs_ok" 1 0 "$crash" "$hang" "$reports_ok" \
    "$lost" "${notes[*]}"
}

garbage_settings() { head -c 65536 /dev/urandom >"$1"; }
empty_settings() { : >"$1"; }
settings_folder() { mkdir -p "$1"; }
# A stored folder of 8 MiB is no folder: the default stands in and replaces it.
huge_settings() {
  { printf '[General]\nText1=/'; head -c 8388608 /dev/zero | tr '\0' f; printf '/\n'; } >"$1"
}
unreadable_settings() {
  printf '[General]\nText1=/somewhere/else/\n' >"$1"
  chown 65534:65534 "$1"
  chmod 0 "$1"
}
full_disk_settings() {
  mount_small_disk "$(dirname "$1")" 64k
  printf '[General]\nText1=%s/kept/\n' "$2" >"$1"
  fill_disk "$(dirname "$1")"
}

class_9() {
  say "class 9: broken settings"
  settings_case garbage garbage_settings
  settings_case empty-file empty_settings
  settings_case folder-in-its-place settings_folder
  settings_case huge-stored-folder huge_settings
  settings_case unreadable-file-as-nobody unreadable_settings nobody
  settings_case full-disk full_disk_settings
  unmount_small_disk "$W/runs/settings-full-disk/home/config/Quorvel"
}
