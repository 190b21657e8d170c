# shellcheck shell=bash
# Shared helpers of the reliability suite: the work area, mounts and marks
# that must be undone on every exit, and small file utilities.
# Sourced by run-suite; expects W (work area) to be set.

# Everything the suite changes outside plain files, undone by cleanup_all.
MOUNTS=()
IMMUTABLE=()
STARTED_PIDS=()

say() { printf '%s\n' "$*" >&2; }
note() { printf '  %s\n' "$*" >&2; }

cleanup_all() {
  local pid path mount_point
  for pid in "${STARTED_PIDS[@]}"; do
    kill -9 "$pid" 2>/dev/null || true
  done
  for path in "${IMMUTABLE[@]}"; do
    chattr -i "$path" 2>/dev/null || true
  done
  for ((i = ${#MOUNTS[@]} - 1; i >= 0; i--)); do
    mount_point=${MOUNTS[i]}
    umount "$mount_point" 2>/dev/null || umount -l "$mount_point" 2>/dev/null || true
  done
  MOUNTS=()
  IMMUTABLE=()
  STARTED_PIDS=()
}

# children_of PID: the processes whose parent is PID (without procps).
children_of() {
  local stat
  for stat in /proc/[0-9]*/stat; do
    # The command name in parentheses may hold spaces: cut after its ")".
    awk -v parent="$1" '{ sub(/^.*\) /, ""); if ($2 == parent) print FILENAME }' "$stat" \
      2>/dev/null
  done | sed 's|^/proc/\([0-9]*\)/stat$|\1|'
}

# forget_pid PID: a process the suite started has ended.
forget_pid() {
  local keep=() pid
  for pid in "${STARTED_PIDS[@]}"; do
    [[ $pid == "$1" ]] || keep+=("$pid")
  done
  STARTED_PIDS=("${keep[@]}")
}

# mount_small_disk DIR SIZE: a fresh tmpfs of SIZE (e.g. 64k) at DIR.
mount_small_disk() {
  mkdir -p "$1"
  mount -t tmpfs -o "size=$2,mode=0755" tmpfs "$1"
  MOUNTS+=("$1")
}

unmount_small_disk() {
  local keep=() mount_point
  umount "$1" 2>/dev/null || umount -l "$1"
  for mount_point in "${MOUNTS[@]}"; do
    [[ $mount_point == "$1" ]] || keep+=("$mount_point")
  done
  MOUNTS=("${keep[@]}")
}

make_immutable() {
  chattr +i "$1" || return 1
  IMMUTABLE+=("$1")
}

clear_immutable() {
  chattr -i "$1" 2>/dev/null || true
}

# fill_disk DIR: writes a filler file into DIR until its file system is full.
fill_disk() {
  dd if=/dev/zero of="$1/filler" bs=4096 status=none 2>/dev/null || true
}

# sha_of FILE: the SHA-256 of a regular file, or nothing when there is none.
sha_of() {
  [[ -f $1 ]] || return 0
  sha256sum <"$1" | cut -d' ' -f1
}

# hash_folder DIR: "sha256 name" for each regular file directly in DIR
# (hidden ones too), sorted by name; nothing for a missing folder.
hash_folder() {
  [[ -d $1 ]] || return 0
  (cd "$1" && find . -maxdepth 1 -type f -printf '%P\0' | sort -z |
    xargs -0 -r sha256sum | sed 's/^\([0-9a-f]*\) [ *]/\1 /')
}

# tree_manifest DIR: one line per entry below DIR: path, type, size,
# modification time and, for regular files, the SHA-256. Never opens
# anything but regular files, so pipes and devices cannot block it.
tree_manifest() {
  [[ -d $1 ]] || return 0
  (
    cd "$1" || exit 1
    find . -mindepth 1 \( -type f -o -type d -o -type l -o -type p -o -type s -o -type c \) \
      -printf '%P\t%y\t%s\t%T@\t%l\n' | sort
    find . -type f -printf '%P\0' | sort -z | xargs -0 -r sha256sum
  )
}

# temporary_files DIR...: the engine's temporary files below the folders.
temporary_files() {
  local folder
  for folder in "$@"; do
    [[ -d $folder ]] && find "$folder" -name '.rowvane-*' -printf '%p\n' 2>/dev/null
  done
  return 0
}

# output_name INPUT_PATH: the name rowvane-cli gives the output of INPUT.
output_name() {
  local base=${1##*/}
  if [[ $base == *.* ]]; then
    printf '%s.xml' "${base%.*}"
  else
    printf '%s.xml' "$base"
  fi
}

# wait_for_line FILE PATTERN SECONDS: true once FILE holds a line matching
# the extended regular expression PATTERN.
wait_for_line() {
  local deadline=$((SECONDS + $3))
  while ((SECONDS < deadline)); do
    grep -Eq -- "$2" "$1" 2>/dev/null && return 0
    sleep 0.02
  done
  return 1
}

# Every row of the table is a run that was planned; the runs that could not
# even start are also listed in $NOT_STARTED (set by run-suite), one
# "class|interface|scenario" line each, so that the table can count them:
# a run that never started proves nothing.
not_started() { printf '%s|%s|%s\n' "$1" "$2" "$3" >>"$NOT_STARTED"; }

# exec_failed RC: true for the statuses of a program that could not be
# started (not found, not executable, a library the loader cannot reach).
exec_failed() { (($1 == 126 || $1 == 127)); }

# install_programs: copies the programs under test and the fault shim into
# $W/bin, where the unprivileged user can reach them wherever the build lies
# (a build folder under /root cannot be entered by nobody), and points CLI,
# APP, SHIM and WINDOW_TESTS at the copies. The window tests find the shim
# beside them through LD_LIBRARY_PATH, which comes before their run path.
install_programs() {
  local bin=$W/bin
  mkdir -p "$bin" && chmod 0755 "$bin" || return 1
  cp "$CLI" "$bin/rowvane-cli" && cp "$APP" "$bin/rowvane" &&
    cp "$SHIM" "$bin/${SHIM##*/}" && cp "$WINDOW_TESTS" "$bin/reliability_window_tests" ||
    return 1
  chmod 0755 "$bin"/*
  CLI=$bin/rowvane-cli APP=$bin/rowvane SHIM=$bin/${SHIM##*/}
  WINDOW_TESTS=$bin/reliability_window_tests
  # shellcheck disable=SC2034  # read by classes/window.sh
  WINDOW_LIBRARY_PATH=$bin
  local program
  for program in "$CLI" "$WINDOW_TESTS"; do
    # The runs as nobody will fail as not started; the rest can still run.
    starts_as_nobody "$program" ||
      say "$program cannot be started by nobody (65534): check the folders above $W"
  done
}

# starts_as_nobody PROGRAM: the program runs for the unprivileged user (it
# only lists what it would do).
starts_as_nobody() {
  local what=--version
  [[ $1 == "$WINDOW_TESTS" ]] && what=--gtest_list_tests
  setpriv --reuid=65534 --regid=65534 --clear-groups env LD_LIBRARY_PATH="$W/bin" \
    QT_QPA_PLATFORM=offscreen "$1" "$what" >/dev/null 2>&1
}
