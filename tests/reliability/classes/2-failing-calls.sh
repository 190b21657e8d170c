# shellcheck shell=bash disable=SC2034,SC2054  # the CASE_* variables are read by lib/judge.sh
# Class 2: write, fsync, rename, open and close of the output fail at chosen
# points: at byte offsets through the shim, at exact sizes through a file-size
# limit, and at the Nth system call through strace.

# Byte offsets at which the victim's output write fails; "last" is its final byte.
WRITE_OFFSETS=(0 1 4095 4096 16383 16384 last)

victim_offset() {
  if [[ $1 == last ]]; then
    printf '%d' $(($(reference_size single victim.xml) - 1))
  else
    printf '%d' "$1"
  fi
}

# openat_ordinal CTX PATTERN: the number of the main thread's first openat
# whose path matches PATTERN in a fault-free run with -j1 (strace counts
# calls per thread).
openat_ordinal() {
  local log=$W/calibration.log out=$W/calibration-out inputs
  rm -rf "$out" && mkdir -p "$out"
  mapfile -t inputs < <(context_inputs "$1")
  strace -f -qq -o "$log" -e trace=openat "$CLI" -q -j1 -o "$out" "${inputs[@]}" >/dev/null 2>&1
  awk -v pattern="$2" 'NR == 1 { main = $1 } $1 == main { n++ } $1 == main && $0 ~ pattern {
    print n; exit }' "$log"
  rm -rf "$out"
}

shim_write_offsets() {
  local offset byte skip
  for offset in "${WRITE_OFFSETS[@]}"; do
    byte=$(victim_offset "$offset")
    CASE_CLASS=2 CASE_NAME=single-write-fails-at-byte-$offset CASE_CTX=single
    CASE_SHIM="call=write,path=/#,error=ENOSPC,offset=$byte"
    CASE_MUST_FAIL='^victim\.csv$'
    run_case

    # In list order, the earlier files that hold the byte pass it first.
    skip=$(skip_before batch f050.xml "$byte")
    CASE_CLASS=2 CASE_NAME=batch-write-fails-at-byte-$offset CASE_CTX=batch CASE_JOBS=1
    CASE_SHIM="call=write,path=/#,error=ENOSPC,offset=$byte,skip=$skip"
    CASE_MUST_FAIL='^f050\.csv$'
    run_case
  done
  local big_size
  big_size=$(reference_size bigone big.xml)
  for byte in 0 $(((1 << 20) - 1)) $((1 << 20)) $((3 * (1 << 20) + 5)) $((big_size - 1)); do
    CASE_CLASS=2 CASE_NAME=large-background-write-fails-at-byte-$byte CASE_CTX=bigone
    CASE_SHIM="call=write,path=/#,error=EIO,offset=$byte"
    CASE_MUST_FAIL='^big\.csv$'
    run_case
  done
}

# A file-size limit fails the write at exactly N bytes with EFBIG, as long as
# SIGXFSZ is ignored; a shell's `ulimit -f` leaves it at its default.
size_limit_runs() {
  local offset byte context
  for offset in "${WRITE_OFFSETS[@]}"; do
    byte=$(victim_offset "$offset")
    for context in single batch; do
      CASE_CLASS=2 CASE_NAME=$context-size-limit-at-byte-$offset CASE_CTX=$context
      CASE_WRAP=(bash -c 'trap "" XFSZ; exec "$@"' ignore-xfsz prlimit "--fsize=$byte" --)
      CASE_MUST_FAIL=$(larger_than "$context" "$byte")
      run_case
    done
  done
  CASE_CLASS=2 CASE_NAME=single-size-limit-default-signal CASE_CTX=single
  CASE_WRAP=(prlimit --fsize=4096 --) CASE_MUST_FAIL='^victim\.csv$'
  run_case
  CASE_CLASS=2 CASE_NAME=batch-size-limit-default-signal CASE_CTX=batch
  CASE_WRAP=(prlimit --fsize=16384 --) CASE_MUST_FAIL=$(larger_than batch 16384)
  run_case
}

strace_runs() {
  # One write fails (the 50th of the converting thread), or all from there on.
  CASE_CLASS=2 CASE_NAME=batch-50th-write-fails-once CASE_CTX=batch CASE_JOBS=1
  CASE_STRACE=(-e trace=write -e inject=write:error=ENOSPC:when=50)
  CASE_MAY_FAIL='.' CASE_MIN_FAILED=1 CASE_MAX_FAILED=1
  run_case
  CASE_CLASS=2 CASE_NAME=batch-every-write-from-50th-fails CASE_CTX=batch CASE_JOBS=1
  CASE_STRACE=(-e trace=write -e inject=write:error=ENOSPC:when=50+)
  CASE_MAY_FAIL='.' CASE_MIN_FAILED=1 CASE_REPORTS=exit
  run_case
  CASE_CLASS=2 CASE_NAME=batch-writes-fail-on-two-threads CASE_CTX=batch CASE_JOBS=2
  CASE_STRACE=(-e trace=write -e inject=write:error=EIO:when=20..40)
  CASE_MAY_FAIL='.' CASE_MIN_FAILED=1 CASE_REPORTS=exit
  run_case
  CASE_CLASS=2 CASE_NAME=single-first-write-fails CASE_CTX=single
  CASE_STRACE=(-e trace=write -e inject=write:error=EIO:when=1)
  CASE_MUST_FAIL='^victim\.csv$'
  run_case
  CASE_CLASS=2 CASE_NAME=large-third-background-write-fails CASE_CTX=bigone
  CASE_STRACE=(-e trace=write -e inject=write:error=ENOSPC:when=3)
  CASE_MUST_FAIL='^big\.csv$'
  run_case

  # fsync of an output file, and of the output folder after the batch.
  CASE_CLASS=2 CASE_NAME=single-fsync-fails CASE_CTX=single
  CASE_STRACE=(-e trace=fsync,fdatasync -e inject=fsync,fdatasync:error=EIO:when=1)
  CASE_MUST_FAIL='^victim\.csv$'
  run_case
  # The outputs of a batch are flushed in groups, each member's fdatasync from
  # a thread of its own, the converting thread among them (strace counts per
  # thread, so every call is failed, not only the first): every data flush fails,
  # so every group fails whole and every earlier output stays.
  CASE_CLASS=2 CASE_NAME=batch-every-data-flush-fails CASE_CTX=batch CASE_JOBS=1
  CASE_STRACE=(-e trace=fdatasync -e inject=fdatasync:error=EIO:when=1+)
  CASE_MUST_FAIL='.'
  run_case
  CASE_CLASS=2 CASE_NAME=batch-fsync-of-output-folder-fails CASE_CTX=batch
  CASE_STRACE=(-P @OUT@ -e trace=fsync -e inject=fsync:error=EIO)
  run_case
  CASE_CLASS=2 CASE_NAME=single-fsync-of-output-folder-fails CASE_CTX=single
  CASE_STRACE=(-P @OUT@ -e trace=fsync -e inject=fsync:error=EIO)
  run_case

  # rename of the finished temporary file onto the target.
  CASE_CLASS=2 CASE_NAME=single-rename-fails CASE_CTX=single
  CASE_STRACE=(-e trace=rename,renameat,renameat2
    -e inject=rename,renameat,renameat2:error=EIO:when=1)
  CASE_MUST_FAIL='^victim\.csv$'
  run_case
  CASE_CLASS=2 CASE_NAME=batch-50th-rename-fails CASE_CTX=batch CASE_JOBS=1
  CASE_STRACE=(-e trace=rename,renameat,renameat2
    -e inject=rename,renameat,renameat2:error=EIO:when=50)
  CASE_MAY_FAIL='.' CASE_MIN_FAILED=1 CASE_MAX_FAILED=1
  run_case
  CASE_CLASS=2 CASE_NAME=batch-every-rename-fails CASE_CTX=batch
  CASE_STRACE=(-e trace=rename,renameat,renameat2
    -e inject=rename,renameat,renameat2:error=EXDEV)
  CASE_MUST_FAIL='.'
  run_case

  # Opening the temporary file: once, and every open from there on.
  local ordinal
  ordinal=$(openat_ordinal single O_TMPFILE)
  CASE_CLASS=2 CASE_NAME=single-temporary-open-fails-emfile CASE_CTX=single
  CASE_STRACE=(-e trace=openat -e "inject=openat:error=EMFILE:when=$ordinal")
  CASE_MUST_FAIL='^victim\.csv$'
  run_case
  ordinal=$(openat_ordinal batch O_TMPFILE)
  CASE_CLASS=2 CASE_NAME=batch-every-open-fails-emfile CASE_CTX=batch CASE_JOBS=1
  CASE_STRACE=(-e trace=openat -e "inject=openat:error=EMFILE:when=$ordinal+")
  CASE_MUST_FAIL='.'
  run_case
}

shim_call_runs() {
  CASE_CLASS=2 CASE_NAME=single-write-interrupted-once CASE_CTX=single
  CASE_SHIM="call=write,path=/#,error=EINTR"
  run_case
  CASE_CLASS=2 CASE_NAME=batch-every-write-fails CASE_CTX=batch
  CASE_SHIM="call=write,path=/#,error=ENOSPC,times=0" CASE_MUST_FAIL='.'
  run_case
  # One failing data flush in a group fails the whole group (at most 64
  # files, fewer when its time bound closed it early), never more; nothing is retried.
  CASE_CLASS=2 CASE_NAME=batch-shared-flush-of-f050-fails CASE_CTX=batch CASE_JOBS=1
  CASE_SHIM="call=fsync,path=/#,error=EIO,skip=49" CASE_MAY_FAIL='.'
  CASE_MIN_FAILED=1 CASE_MAX_FAILED=64
  run_case
  # A duplicate of the temporary file's descriptor is closed before the
  # rename: a failing close is a failed write, and the earlier output stays.
  CASE_CLASS=2 CASE_NAME=single-close-before-rename-fails CASE_CTX=single
  CASE_SHIM="call=close,path=/#,error=EIO" CASE_MUST_FAIL='^victim\.csv$'
  run_case
}

class_2() {
  say "class 2: write, fsync, rename, open and close fail"
  shim_write_offsets
  size_limit_runs
  strace_runs
  shim_call_runs
}
