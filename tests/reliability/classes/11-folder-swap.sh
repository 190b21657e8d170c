# shellcheck shell=bash disable=SC2034,SC2054  # the CASE_* variables are read by lib/judge.sh
# Class 11: the output folder is renamed away while a save is held just
# before its rename, and a link to another folder, or a new empty folder,
# takes its name. The output must land in the folder that was opened for it,
# and no temporary file may be orphaned in either folder.

SWAP_PID=''
SWAP_WITH=''

# The case's setup: RUN_DIR OUT.
start_folder_swap() {
  mkdir -p "$1/elsewhere"
  (
    sleep 0.3
    mv "$2" "$1/out.old"
    : >"$1/swapped"
    case $SWAP_WITH in
      link) ln -s elsewhere "$2" ;;
      folder) mkdir "$2" ;;
    esac
  ) &
  SWAP_PID=$!
  STARTED_PIDS+=("$SWAP_PID")
}

# The case's teardown: RUN_DIR OUT. Puts the opened folder back under the
# output folder's name for the judge, with whatever reached the folders that
# took its place kept below it, where the judge sees any file as unexpected
# and any temporary file as left behind.
undo_folder_swap() {
  wait "$SWAP_PID" 2>/dev/null
  forget_pid "$SWAP_PID"
  if [[ ! -d $1/out.old ]]; then
    RUN_REACHED=no  # the swap never happened
    return 0
  fi
  # The output took its name after the swap: the save was held across it.
  [[ -n $(find "$1/out.old/victim.xml" -cnewer "$1/swapped" 2>/dev/null) ]] || RUN_REACHED=no
  local taken_over=$1/elsewhere
  [[ $SWAP_WITH == folder ]] && taken_over=$2
  mv "$taken_over" "$1/out.old/reached-the-new-folder"
  rm -f "$2"
  rmdir "$1/out.old/reached-the-new-folder" 2>/dev/null
  mv "$1/out.old" "$2"
}

class_11() {
  say "class 11: the output folder swapped during a save"
  local with
  for with in link folder; do
    CASE_CLASS=11 CASE_NAME=output-folder-replaced-by-a-$with-before-rename CASE_CTX=single
    CASE_JOBS=1 SWAP_WITH=$with
    CASE_SETUP=start_folder_swap CASE_TEARDOWN=undo_folder_swap
    CASE_STRACE=(-e trace=rename,renameat -e inject=rename,renameat:delay_enter=1500000:when=1)
    CASE_HIT=held  # a delay is not marked as injected; the swap done meanwhile is the proof
    run_case
    RUN_REACHED=yes
  done
}
