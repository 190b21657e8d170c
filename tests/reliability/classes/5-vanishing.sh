# shellcheck shell=bash disable=SC2034  # the CASE_* variables are read by lib/judge.sh
# Class 5: the output folder is removed during a batch; an input is removed
# between gathering and reading. The shim does the removing at a chosen call,
# so the moment is the same in every run.

# files_from N: a regular expression for the batch files fN to f100.
files_from() {
  local i names=()
  for ((i = $1; i <= 100; i++)); do
    names+=("$(printf 'f%03d' "$i")")
  done
  local IFS='|'
  printf '^(%s)\\.csv$' "${names[*]}"
}

class_5() {
  say "class 5: output folder or input removed"
  CASE_CLASS=5 CASE_NAME=batch-output-folder-removed-at-f030 CASE_CTX=batch CASE_JOBS=1
  CASE_SHIM="call=open,end=/f030.csv,remove=@OUT@" CASE_OUT_REMOVED=yes
  CASE_MUST_FAIL=$(files_from 30)
  # The files before it still waiting in their group for the shared flush
  # had not been reported: with their folder gone they fail too.
  CASE_MAY_FAIL='.'
  run_case
  CASE_CLASS=5 CASE_NAME=single-output-folder-removed-before-write CASE_CTX=single
  CASE_SHIM="call=open,end=/victim.csv,remove=@OUT@" CASE_OUT_REMOVED=yes
  CASE_MUST_FAIL='^victim\.csv$'
  run_case
  CASE_CLASS=5 CASE_NAME=batch-output-folder-removed-two-jobs CASE_CTX=batch CASE_JOBS=2
  CASE_SHIM="call=open,end=/f060.csv,remove=@OUT@" CASE_OUT_REMOVED=yes CASE_MAY_FAIL='.'
  CASE_MIN_FAILED=1
  run_case

  CASE_CLASS=5 CASE_NAME=batch-input-removed-before-it-is-read CASE_CTX=batch CASE_JOBS=1
  CASE_PRIVATE_INPUTS=yes CASE_SHIM="call=read,end=/f030.csv,remove=@IN@/f060.csv"
  CASE_REMOVED='f060\.csv' CASE_MUST_FAIL='^f060\.csv$'
  run_case
  CASE_CLASS=5 CASE_NAME=single-input-removed-before-it-is-read CASE_CTX=single
  CASE_PRIVATE_INPUTS=yes CASE_SHIM="call=open,end=/victim.csv,remove=@IN@/victim.csv"
  CASE_REMOVED='victim\.csv' CASE_MUST_FAIL='^victim\.csv$'
  run_case
  # Gathered by the folder walk (-r), removed before its turn.
  CASE_CLASS=5 CASE_NAME=walked-input-removed-before-it-is-read CASE_CTX=batch CASE_JOBS=1
  CASE_PRIVATE_INPUTS=yes CASE_CLI_INPUTS=(-r @IN@)
  # Only the conversion reads a file; the walk just opens it to test it.
  CASE_SHIM="call=read,end=/f030.csv,remove=@IN@/f060.csv"
  CASE_REMOVED='f060\.csv' CASE_MUST_FAIL='^f060\.csv$'
  run_case
}
