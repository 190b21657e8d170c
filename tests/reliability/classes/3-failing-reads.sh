# shellcheck shell=bash disable=SC2034,SC2054  # the CASE_* variables are read by lib/judge.sh
# Class 3: reading the input fails midway.

class_3() {
  say "class 3: reading the input fails"
  local size byte
  size=$(stat -c %s "$W/data/single/victim.csv")
  for byte in 0 1 4096 $((size - 3)); do
    CASE_CLASS=3 CASE_NAME=single-read-fails-at-byte-$byte CASE_CTX=single
    CASE_SHIM="call=read,end=/victim.csv,offset=$byte" CASE_MUST_FAIL='^victim\.csv$'
    run_case
  done
  CASE_CLASS=3 CASE_NAME=batch-read-fails-at-byte-20000 CASE_CTX=batch
  CASE_SHIM="call=read,end=/f050.csv,offset=20000" CASE_MUST_FAIL='^f050\.csv$'
  run_case
  CASE_CLASS=3 CASE_NAME=large-read-fails-at-byte-2500000 CASE_CTX=bigone
  CASE_SHIM="call=read,end=/big.csv,offset=2500000" CASE_MUST_FAIL='^big\.csv$'
  run_case
  CASE_CLASS=3 CASE_NAME=single-read-interrupted-once CASE_CTX=single
  CASE_SHIM="call=read,end=/victim.csv,error=EINTR"
  run_case

  # strace: the Nth read of the file and every one after it.
  local when
  for when in 1 2; do
    CASE_CLASS=3 CASE_NAME=single-read-$when-and-later-fail CASE_CTX=single
    CASE_STRACE=(-P "$W/data/single/victim.csv" -e trace=read
      -e "inject=read:error=EIO:when=$when+")
    CASE_MUST_FAIL='^victim\.csv$'
    run_case
  done
  CASE_CLASS=3 CASE_NAME=batch-f050-read-2-and-later-fail CASE_CTX=batch
  CASE_STRACE=(-P "$W/data/batch/f050.csv" -e trace=read -e inject=read:error=EIO:when=2+)
  CASE_MUST_FAIL='^f050\.csv$'
  run_case
  CASE_CLASS=3 CASE_NAME=large-read-5-and-later-fail CASE_CTX=bigone
  CASE_STRACE=(-P "$W/data/bigone/big.csv" -e trace=read -e inject=read:error=EIO:when=5+)
  CASE_MUST_FAIL='^big\.csv$'
  run_case
}
