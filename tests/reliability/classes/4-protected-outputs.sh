# shellcheck shell=bash disable=SC2034  # the CASE_* variables are read by lib/judge.sh
# Class 4: outputs that may not be replaced: immutable files and folders,
# read-only ones for an unprivileged user, and output names that lead to an
# input.

lock_victim_output() { make_immutable "$2/victim.xml"; }
unlock_victim_output() { clear_immutable "$2/victim.xml"; }
lock_f050_output() { make_immutable "$2/f050.xml"; }
unlock_f050_output() { clear_immutable "$2/f050.xml"; }
lock_output_folder() { make_immutable "$2"; }
unlock_output_folder() { clear_immutable "$2"; }
read_only_victim_output() {
  local name
  for name in victim.xml f050.xml; do
    [[ ! -e $2/$name ]] || chmod 0444 "$2/$name" || return 1
  done
}
read_only_output_folder() { chmod 0555 "$2"; }
writable_output_folder() { chmod 0755 "$2"; }

# The outputs of f050 and f051 are links to inputs of the batch: replacing
# them must replace the link, never write through it.
outputs_link_to_inputs() {
  ln -sf "$W/data/batch/f052.csv" "$2/f050.xml" && ln -f "$W/data/batch/f053.csv" "$2/f051.xml"
}
# The output of f050 is its own input under another name.
output_is_own_input() {
  ln -f "$W/data/batch/f050.csv" "$2/f050.xml"
}

class_4() {
  say "class 4: immutable and read-only outputs"
  CASE_CLASS=4 CASE_NAME=single-immutable-output-file CASE_CTX=single
  CASE_SETUP=lock_victim_output CASE_TEARDOWN=unlock_victim_output
  CASE_MUST_FAIL='^victim\.csv$'
  run_case
  CASE_CLASS=4 CASE_NAME=batch-immutable-output-file CASE_CTX=batch
  CASE_SETUP=lock_f050_output CASE_TEARDOWN=unlock_f050_output CASE_MUST_FAIL='^f050\.csv$'
  run_case
  local context
  for context in single batch; do
    CASE_CLASS=4 CASE_NAME=$context-immutable-output-folder CASE_CTX=$context
    CASE_SETUP=lock_output_folder CASE_TEARDOWN=unlock_output_folder CASE_MUST_FAIL='.'
    run_case
    CASE_CLASS=4 CASE_NAME=$context-read-only-output-file-as-nobody CASE_CTX=$context
    CASE_AS_USER=yes CASE_SETUP=read_only_victim_output CASE_MUST_FAIL='^(victim|f050)\.csv$'
    run_case
    CASE_CLASS=4 CASE_NAME=$context-read-only-output-folder-as-nobody CASE_CTX=$context
    CASE_AS_USER=yes CASE_SETUP=read_only_output_folder CASE_TEARDOWN=writable_output_folder
    CASE_MUST_FAIL='.'
    run_case
  done
  CASE_CLASS=4 CASE_NAME=batch-outputs-are-links-to-inputs CASE_CTX=batch
  CASE_SETUP=outputs_link_to_inputs
  run_case
  CASE_CLASS=4 CASE_NAME=batch-output-is-its-own-input CASE_CTX=batch
  CASE_SETUP=output_is_own_input CASE_MUST_FAIL='^f050\.csv$'
  run_case
  # An input named like its own output, converted into its own folder.
  CASE_CLASS=4 CASE_NAME=input-named-like-its-output CASE_CTX=single
  CASE_INPUTS=("$W/data/self/self.xml") CASE_OUT=$W/data/self CASE_PRIOR=no
  CASE_MUST_FAIL='^self\.xml$'
  run_case
}
