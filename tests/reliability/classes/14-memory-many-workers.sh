# shellcheck shell=bash disable=SC2034  # the CASE_* variables are read by lib/judge.sh
# Class 14: a cap on the address space with many workers. Each thread takes
# its stack and its own allocation arena, so some files may fail for want of
# memory and some workers may not start; the batch must still end normally,
# with one line for each file it did not convert, no temporary file, and an
# exit status that matches (under the tightest cap many files fail). Under
# the loosest cap every file fits, and all must convert: threads too many
# for the memory must not starve the work.

CLASS_TITLES[14]='14 memory cap, many jobs'

class_14() {
  say "class 14: memory cap with many workers"
  local jobs cap
  for jobs in 8 16; do
    # The program maps about 45 MB (ICU's data, by way of libxml2) at start.
    for cap in 50000000 100000000 240000000; do
      CASE_CLASS=14 CASE_NAME=batch-$jobs-jobs-under-$((cap / 1000000))-mb CASE_CTX=batch
      # When not even the reason of a failure could be stored, the file is
      # still reported, as "not converted".
      CASE_JOBS=$jobs CASE_WRAP=(prlimit "--as=$cap" --) CASE_FAIL_REASON='memory|^not converted$'
      ((cap < 240000000)) && CASE_MAY_FAIL='.'
      run_case
    done
  done
}
