# shellcheck shell=bash disable=SC2034  # the CASE_* variables are read by lib/judge.sh
# Class 8: a memory cap and a 500 MB input that is one single line. With a
# header row the header line is held in memory: that file fails with "not
# enough memory for a header line of 500000001 bytes" and the rest of the batch
# converts. Without one it streams.

MEMORY_CAP=$((256 * 1024 * 1024))  # bytes: prlimit takes no suffixes

make_huge_line() {
  local folder=$W/data8
  mkdir -p "$folder"
  { printf 'x'; head -c 500000000 /dev/zero | tr '\0' 'a'; } >"$folder/line.csv"
  tree_manifest "$folder" >"$folder.manifest"
  # The reference of the streaming case: a normal run, digest kept, bytes not.
  local out=$W/ref/hugeline-noheader
  mkdir -p "$out"
  "$CLI" -q --no-header -o "$out" "$folder/line.csv"
  hash_folder "$out" >"$W/ref/hugeline-noheader.sha"
  rm -rf "$out"
  : >"$W/ref/hugeline.sha"
}

class_8() {
  say "class 8: memory cap and a 500 MB single line"
  make_huge_line
  local line=$W/data8/line.csv inputs
  CASE_CLASS=8 CASE_NAME=single-huge-header-line-under-cap CASE_CTX=hugeline
  CASE_INPUTS=("$line") CASE_EXTRA_DATA=$W/data8 CASE_TIMEOUT=120
  CASE_WRAP=(prlimit "--as=$MEMORY_CAP" --) CASE_MUST_FAIL='^line\.csv$'
  CASE_FAIL_REASON='not enough memory for a header line of 500000001 bytes'
  run_case

  # Inside the batch, between small files and next to the large one.
  mapfile -t inputs < <(context_inputs batch)
  CASE_CLASS=8 CASE_NAME=batch-with-huge-header-line-under-cap CASE_CTX=batch
  CASE_INPUTS=("${inputs[@]:0:50}" "$line" "${inputs[@]:50}") CASE_EXTRA_DATA=$W/data8
  CASE_TIMEOUT=120 CASE_WRAP=(prlimit "--as=$MEMORY_CAP" --) CASE_MUST_FAIL='^line\.csv$'
  CASE_FAIL_REASON='not enough memory for a header line of 500000001 bytes'
  run_case

  CASE_CLASS=8 CASE_NAME=single-huge-line-streams-without-header CASE_CTX=hugeline-noheader
  CASE_INPUTS=("$line") CASE_ARGS=(--no-header) CASE_EXTRA_DATA=$W/data8 CASE_TIMEOUT=180
  CASE_WRAP=(prlimit "--as=$MEMORY_CAP" --) CASE_PRIOR=no
  run_case
  rm -rf "$W/data8" "$W/runs/"*huge-line-streams*/out
}
