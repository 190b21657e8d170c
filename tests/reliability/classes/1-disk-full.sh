# shellcheck shell=bash disable=SC2034  # the CASE_* variables are read by lib/judge.sh
# Class 1: the disk is full before the output is written, or fills up while
# it is written. Each run gets a fresh small tmpfs as its output folder.

fill_output_disk() { fill_disk "$2"; }

# disk_case SIZE [MOUNT OPTIONS]: mounts the case's small disk and runs it.
disk_case() {
  local disk=$W/mnt/disk
  mkdir -p "$disk"
  mount -t tmpfs -o "size=$1${2:+,$2},mode=0755" tmpfs "$disk"
  MOUNTS+=("$disk")
  CASE_OUT=$disk/out
  run_case
  unmount_small_disk "$disk"
}

class_1() {
  say "class 1: disk full"
  CASE_CLASS=1 CASE_NAME=single-full-before-write CASE_CTX=single
  CASE_SETUP=fill_output_disk CASE_MUST_FAIL='^victim\.csv$'
  disk_case 64k

  # The victim's output (over 100 KiB) cannot fit into 64 KiB.
  CASE_CLASS=1 CASE_NAME=single-fills-during-write CASE_CTX=single
  CASE_MUST_FAIL='^victim\.csv$'
  disk_case 64k

  # No inode left for the temporary file.
  CASE_CLASS=1 CASE_NAME=single-no-inode-left CASE_CTX=single
  CASE_MUST_FAIL='^victim\.csv$'
  disk_case 1m nr_inodes=3

  # The large file is written from a second thread; 2 MiB hold a part of it.
  CASE_CLASS=1 CASE_NAME=large-fills-during-background-write CASE_CTX=bigone
  CASE_MUST_FAIL='^big\.csv$'
  disk_case 2m

  CASE_CLASS=1 CASE_NAME=batch-full-before-write CASE_CTX=batch
  CASE_SETUP=fill_output_disk CASE_MUST_FAIL='.'
  disk_case 1m

  # The batch fills the disk midway: whatever no longer fits fails, the rest
  # stands complete, earlier outputs of failed files stay.
  local jobs
  for jobs in 1 2; do
    CASE_CLASS=1 CASE_NAME=batch-fills-during-run-j$jobs CASE_CTX=batch CASE_JOBS=$jobs
    CASE_MAY_FAIL='.' CASE_MIN_FAILED=1
    disk_case 256k
  done
}
