# shellcheck shell=bash disable=SC2034  # the CASE_* variables are read by lib/judge.sh
# Class 6: pipes, sockets and devices named like CSV files, link loops,
# dangling links, links that leave the chosen folder, unreadable files and
# folders; given as inputs and met by the folder walk (-r).

class_6() {
  say "class 6: odd files, links and the folder walk"
  local name must
  for name in "${ODD_NAMES[@]}"; do
    must="^${name//./\\.}\$"
    [[ $name == unreadable.csv ]] && must='^$'  # root reads it
    CASE_CLASS=6 CASE_NAME=single-$name CASE_CTX=odd CASE_INPUTS=("$W/data/odd/$name")
    CASE_MUST_FAIL=$must CASE_TIMEOUT=20
    run_case
  done
  CASE_CLASS=6 CASE_NAME=batch-with-odd-inputs CASE_CTX=odd CASE_TIMEOUT=30
  CASE_MUST_FAIL='^(fifo|sock|null|zero|folder|loop|dangling)\.csv$'
  run_case
  CASE_CLASS=6 CASE_NAME=batch-with-odd-inputs-as-nobody CASE_CTX=odd CASE_TIMEOUT=30
  CASE_AS_USER=yes CASE_MUST_FAIL='^(fifo|sock|null|zero|folder|loop|dangling|unreadable)\.csv$'
  run_case

  CASE_CLASS=6 CASE_NAME=walk-tree-with-loops-and-odd-files CASE_CTX=tree CASE_TIMEOUT=30
  CASE_CLI_INPUTS=(-r "$W/data/tree")
  run_case
  # The folder that cannot be listed is left out, and so is its file.
  CASE_CLASS=6 CASE_NAME=walk-tree-as-nobody CASE_CTX=tree CASE_TIMEOUT=30 CASE_AS_USER=yes
  CASE_CLI_INPUTS=(-r "$W/data/tree")
  CASE_INPUTS=("$W"/data/tree/{a.csv,out-link/o.csv,sub/c.csv,sub/deep/d.csv})
  run_case
  CASE_CLASS=6 CASE_NAME=walk-tree-given-with-trailing-separators CASE_CTX=tree CASE_TIMEOUT=30
  CASE_CLI_INPUTS=(-r "$W/data/tree///")
  run_case
}
