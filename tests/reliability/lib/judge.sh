# shellcheck shell=bash
# Running rowvane-cli under one fault and judging what it left behind.
# Sourced by run-suite; expects W, CLI, SHIM and RESULTS.
#
# A case is described by the CASE_* variables below; run_case runs it, judges
# it, appends one row to $RESULTS and resets the description:
#   class|interface|scenario|hit|inputs|outputs|rest|temps|crash|hang|reports|lost|notes

RUN_SEQ=0
# The reasons rowvane-cli gives for a file it did not convert.
FAILURE_CLAIM='^(cannot |input file not found|not converted|is a folder)'

reset_case() {
  CASE_CLASS=0
  CASE_NAME=unnamed
  CASE_CTX='batch'        # which inputs and reference: see context_inputs (lib/data.sh)
  CASE_INPUTS=()          # instead of the context's inputs
  CASE_PROGRAM=''         # another program in place of rowvane-cli (self-check)
  CASE_ARGS=()            # more rowvane-cli arguments
  CASE_JOBS=2
  CASE_TIMEOUT=60
  CASE_WRAP=()            # command words before rowvane-cli (prlimit ...)
  CASE_ENV=()
  CASE_SHIM=''            # fault plan for the LD_PRELOAD shim
  # In CASE_SHIM, CASE_STRACE, CASE_ARGS and CASE_CLI_INPUTS, @IN@ and @OUT@ stand for the
  # folder of the input copies and the output folder.
  CASE_STRACE=()          # strace options that inject the fault
  CASE_HIT=none           # how to prove the fault was reached: shim, strace, none
  CASE_AS_USER=no         # run as nobody (65534) instead of root
  CASE_OUT=''             # output folder; default: a fresh one in the run folder
  CASE_PRIOR=yes          # place the context's earlier outputs first
  CASE_PRIVATE_INPUTS=no  # convert copies of the inputs, which the case may remove
  CASE_CLI_INPUTS=()      # words given to rowvane-cli instead of the inputs (-r DIR);
                          # the inputs then name the files the run should meet
  CASE_REMOVED=''         # inputs (regex on the name) the case removes on purpose
  CASE_OUT_REMOVED=no     # the case removes the output folder on purpose
  CASE_SETUP=''           # function called with the run and output folders
  CASE_TEARDOWN=''
  CASE_MUST_FAIL=''       # inputs (regex on the name) that must not be converted
  CASE_MAY_FAIL=''        # inputs that may fail; all others must be converted
  CASE_MIN_FAILED=0
  CASE_MAX_FAILED=100000
  CASE_FAIL_REASON=''     # regex the error line of each failed file must match
  CASE_EXTRA_DATA=''      # another input folder, checked against FOLDER.manifest
  CASE_REPORTS=strict     # strict: one line per failed file and none else;
                          # exit: only the exit status (stderr itself may fail)
}
reset_case

# The case's input paths, one per line.
case_inputs() {
  if ((${#CASE_INPUTS[@]})); then
    printf '%s\n' "${CASE_INPUTS[@]}"
  else
    context_inputs "$CASE_CTX"
  fi
}

new_run_folder() {
  RUN_SEQ=$((RUN_SEQ + 1))
  RUN_DIR=$W/runs/$(printf '%03d' "$RUN_SEQ")-$CASE_NAME
  rm -rf "$RUN_DIR"
  mkdir -p "$RUN_DIR"
}

# prepare_run: the run folder, the output folder with its earlier outputs and
# the input list (RUN_INPUTS); runs the case's setup.
prepare_run() {
  new_run_folder
  RUN_OUT=${CASE_OUT:-$RUN_DIR/out}
  mkdir -p "$RUN_OUT"
  if [[ $CASE_PRIOR == yes && -d $W/prior/$CASE_CTX ]]; then
    find "$W/prior/$CASE_CTX" -maxdepth 1 -type f -exec cp -p {} "$RUN_OUT/" \;
  fi
  mapfile -t RUN_INPUTS < <(case_inputs)
  if [[ $CASE_PRIVATE_INPUTS == yes ]]; then
    mkdir -p "$RUN_DIR/in"
    cp -p "${RUN_INPUTS[@]}" "$RUN_DIR/in/"
    local i
    for i in "${!RUN_INPUTS[@]}"; do
      RUN_INPUTS[i]=$RUN_DIR/in/${RUN_INPUTS[i]##*/}
    done
  fi
  if [[ $CASE_AS_USER == yes ]]; then
    chown -R 65534:65534 "$RUN_DIR" "$RUN_OUT"
  fi
  RUN_SETUP_FAILED=no
  if [[ -n $CASE_SETUP ]] && ! "$CASE_SETUP" "$RUN_DIR" "$RUN_OUT" 2>"$RUN_DIR/setup.err"; then
    RUN_SETUP_FAILED=yes  # the fault could not be put in place: say so
  fi
  hash_folder "$RUN_OUT" >"$RUN_DIR/before"
  tree_manifest "$RUN_DIR/in" >"$RUN_DIR/in.before"
}

# with_folders TEXT: TEXT with @IN@ and @OUT@ put in.
with_folders() {
  local text=${1//@IN@/$RUN_DIR/in}
  printf '%s' "${text//@OUT@/$RUN_OUT}"
}

# run_command_words: the whole command line of the case, into RUN_COMMAND
# and RUN_ENV.
run_command_words() {
  local wrap=("${CASE_WRAP[@]}") word args=() inputs=("${RUN_INPUTS[@]}")
  RUN_ENV=("${CASE_ENV[@]}")
  if [[ -n $CASE_SHIM ]]; then
    RUN_ENV+=("LD_PRELOAD=$SHIM" "ROWVANE_FAULTS=$(with_folders "$CASE_SHIM")"
      "ROWVANE_FAULTS_LOG=$RUN_DIR/faults.log" "ASAN_OPTIONS=verify_asan_link_order=0")
    CASE_HIT=shim
  fi
  if ((${#CASE_STRACE[@]})); then
    wrap+=(strace -f -qq -o "$RUN_DIR/strace.log")
    for word in "${CASE_STRACE[@]}"; do
      wrap+=("$(with_folders "$word")")
    done
    wrap+=(--)
    [[ $CASE_HIT == none ]] && CASE_HIT=strace
  fi
  if [[ $CASE_AS_USER == yes ]]; then
    wrap=(setpriv --reuid=65534 --regid=65534 --clear-groups "${wrap[@]}")
  fi
  for word in "${CASE_ARGS[@]}"; do
    args+=("$(with_folders "$word")")
  done
  if ((${#CASE_CLI_INPUTS[@]})); then
    inputs=()
    for word in "${CASE_CLI_INPUTS[@]}"; do
      inputs+=("$(with_folders "$word")")
    done
  fi
  RUN_COMMAND=("${wrap[@]}" "${CASE_PROGRAM:-$CLI}" -q -j "$CASE_JOBS" -o "$RUN_OUT" "${args[@]}" "${inputs[@]}")
}

# run_case: prepares, runs and judges the case described by CASE_*.
run_case() {
  prepare_run
  run_command_words
  local rc
  # stderr goes through a pipe: a file-size limit must not cut it short. The
  # subshell keeps the shell's own "killed by signal" notices out of the log.
  (
    env "${RUN_ENV[@]}" timeout -k 5 "$CASE_TIMEOUT" "${RUN_COMMAND[@]}" 2>&1 >"$RUN_DIR/stdout" |
      cat >"$RUN_DIR/stderr"
    exit "${PIPESTATUS[0]}"
  ) 2>/dev/null
  rc=$?
  if [[ -n $CASE_TEARDOWN ]]; then
    "$CASE_TEARDOWN" "$RUN_DIR" "$RUN_OUT"
  fi
  judge_run "$rc" cli
  reset_case
}

# changed_paths BEFORE NOW: how many paths of manifest BEFORE are changed or
# gone in manifest NOW.
changed_paths() {
  comm -23 <(sort "$1") <(sort "$2") |
    awk -F'\t' 'NF > 1 { print $1; next } { split($0, f, " "); print f[2] }' | sort -u |
    grep -c . || true
}

# load_hashes FILE ARRAY: "sha name" lines into an associative array.
# shellcheck disable=SC2034  # it fills the caller's array through a reference
load_hashes() {
  local -n target=$2  # the caller's array
  local sha name
  while read -r sha name; do
    [[ -n $name ]] && target["$name"]=$sha
  done <"$1"
}

# judge_run RC INTERFACE: compares what the run left with the reference and
# the earlier outputs, and appends the verdict row. With RUN_KILLED=yes the
# process was killed on purpose: its exit, its lines and its temporary files
# are not judged. With RUN_SIGNALLED=N it was sent signal N on purpose and
# must have ended by it.
judge_run() {
  local rc=$1 interface=$2
  local hit=1 inputs_ok=1 outputs_ok=1 rest_ok=1 temps=0 crash=0 hang=0 reports_ok=1 lost=0
  local notes=()
  local killed=${RUN_KILLED:-no} signalled=${RUN_SIGNALLED:-}

  if [[ $killed != yes ]] && exec_failed "$rc"; then
    # Nothing ran, so nothing below can be judged: a failure, never a pass.
    not_started "$CASE_CLASS" "$interface" "$CASE_NAME"
    hit=0
    reports_ok=0
    notes+=("the program could not be started (exit status $rc): $(head -c 200 "$RUN_DIR/stderr")")
  elif [[ $killed != yes ]]; then
    if [[ -n $signalled ]]; then
      ((rc == 128 + signalled)) ||
        { reports_ok=0 && notes+=("exit status $rc, expected $((128 + signalled))"); }
    elif ((rc == 124 || rc == 137)); then
      hang=1
      notes+=("no end within ${CASE_TIMEOUT}s")
    elif ((rc >= 128)); then
      crash=1
      notes+=("died of signal $((rc - 128)) ($(kill -l $((rc - 128)) 2>/dev/null))")
    fi
    if grep -Eq 'AddressSanitizer|runtime error:|terminate called|Segmentation fault|core dumped' \
      "$RUN_DIR/stderr"; then
      crash=1
      notes+=("abort or sanitizer message on stderr")
    fi
  fi
  if [[ ${RUN_SETUP_FAILED:-no} == yes ]]; then
    hit=0
    notes+=("the fault could not be set up: $(head -c 200 "$RUN_DIR/setup.err")")
  fi
  if [[ ${RUN_REACHED:-yes} == no ]]; then
    hit=0
    notes+=("the process never stopped at the chosen call")
  fi
  case $CASE_HIT in
    shim) [[ -s $RUN_DIR/faults.log ]] || { hit=0; notes+=("the shim's fault was never reached"); } ;;
    strace) grep -q 'INJECTED' "$RUN_DIR/strace.log" 2>/dev/null ||
      { hit=0; notes+=("strace injected nothing"); } ;;
  esac

  # Inputs: the shared data tree, and the case's own copies.
  tree_manifest "$W/data" >"$RUN_DIR/data.after"
  local changed
  changed=$(changed_paths "$W/pristine.manifest" "$RUN_DIR/data.after")
  if ((changed > 0)) || ! cmp -s "$W/pristine.manifest" "$RUN_DIR/data.after"; then
    inputs_ok=0
    lost=$((lost + changed))
    notes+=("inputs changed: $(diff "$W/pristine.manifest" "$RUN_DIR/data.after" | grep '^[<>]' |
      head -3 | tr '\n\t' '  ')")
  fi
  if [[ -s $RUN_DIR/in.before ]]; then
    local kept_before
    kept_before=$(mktemp)
    if [[ -n $CASE_REMOVED ]]; then
      grep -Ev "$CASE_REMOVED" "$RUN_DIR/in.before" >"$kept_before" || true
      tree_manifest "$RUN_DIR/in" | grep -Ev "$CASE_REMOVED" >"$RUN_DIR/in.after" || true
    else
      cp "$RUN_DIR/in.before" "$kept_before"
      tree_manifest "$RUN_DIR/in" >"$RUN_DIR/in.after"
    fi
    changed=$(changed_paths "$kept_before" "$RUN_DIR/in.after")
    if ((changed > 0)) || ! cmp -s "$kept_before" "$RUN_DIR/in.after"; then
      inputs_ok=0
      lost=$((lost + changed))
      notes+=("copied inputs changed")
    fi
    rm -f "$kept_before"
  fi

  if [[ -n $CASE_EXTRA_DATA ]] &&
    ! cmp -s "$CASE_EXTRA_DATA.manifest" <(tree_manifest "$CASE_EXTRA_DATA"); then
    inputs_ok=0
    lost=$((lost + 1))
    notes+=("inputs in $CASE_EXTRA_DATA changed")
  fi

  # Outputs against the reference and the earlier outputs; lines per input.
  local -A reference=() before=() now=() lines=() first_line=() expected_names=()
  load_hashes "$W/ref/$CASE_CTX.sha" reference
  load_hashes "$RUN_DIR/before" before
  hash_folder "$RUN_OUT" >"$RUN_DIR/after"
  load_hashes "$RUN_DIR/after" now
  local input line stray=0 rest folder_not_flushed=0
  for input in "${RUN_INPUTS[@]}"; do
    lines[$input]=0
  done
  while IFS= read -r line; do
    [[ -z $line ]] && continue
    rest=${line#rowvane-cli: }
    # The batch's one line when the output folder could not be flushed at its
    # end: the outputs stand, but the batch must not report success.
    if [[ $rest == *": the outputs are written, but the output folder could not be flushed"* ]]; then
      folder_not_flushed=1
      continue
    fi
    local matched=no
    for input in "${RUN_INPUTS[@]}"; do
      if [[ $rest == "$input: "* ]]; then
        lines[$input]=$((lines[$input] + 1))
        [[ -n ${first_line[$input]:-} ]] || first_line[$input]=${rest#"$input: "}
        matched=yes
        break
      fi
    done
    if [[ $matched == no ]]; then
      stray=$((stray + 1))
      ((stray <= 2)) && [[ $killed != yes ]] && notes+=("line for no input: $line")
    fi
  done <"$RUN_DIR/stderr"

  if [[ $CASE_OUT_REMOVED == yes && -d $RUN_OUT ]]; then
    outputs_ok=0
    notes+=("the removed output folder is back")
  fi
  local failed_count=0 any_line=0 warned=0 name base state failed count r p c
  for input in "${RUN_INPUTS[@]}"; do
    base=${input##*/}
    if [[ $base == *.* ]]; then
      name=${base%.*}.xml
    else
      name=$base.xml
    fi
    expected_names[$name]=1
    r=${reference[$name]:-}
    p=${before[$name]:-}
    c=${now[$name]:-}
    count=${lines[$input]}
    ((count > 0)) && any_line=1
    if [[ $CASE_OUT_REMOVED == yes ]]; then
      state=gone
    elif [[ -n $c && $c == "$r" ]]; then
      state=new
    elif [[ $c == "$p" ]]; then
      state=kept
    else
      state=bad
      outputs_ok=0
      lost=$((lost + 1))
      if [[ -n $c ]]; then
        notes+=("$name is neither the reference nor the earlier output")
      else
        notes+=("$name is gone, although it stood there before")
      fi
    fi
    if [[ $state == gone || -z $r ]]; then
      failed=$((count > 0 ? 1 : 0))  # the output cannot tell
    elif [[ $state == new ]]; then
      failed=0
    else
      failed=1
    fi
    failed_count=$((failed_count + failed))
    if [[ -n $CASE_MUST_FAIL && $base =~ $CASE_MUST_FAIL ]]; then
      ((failed)) || { rest_ok=0 && notes+=("$base was converted, but should have failed"); }
    elif ((failed)) && ! [[ -n $CASE_MAY_FAIL && $base =~ $CASE_MAY_FAIL ]]; then
      rest_ok=0
      notes+=("$base was not converted")
    fi
    if [[ $CASE_REPORTS == strict && $killed != yes ]]; then
      if ((failed && count != 1)); then
        reports_ok=0
        notes+=("$base failed with $count error lines")
      elif ((failed)) && [[ -n $CASE_FAIL_REASON && ! ${first_line[$input]} =~ $CASE_FAIL_REASON ]]; then
        reports_ok=0
        notes+=("$base failed with '${first_line[$input]}', not /$CASE_FAIL_REASON/")
      elif ((!failed && count != 0)) && [[ ${first_line[$input]} =~ $FAILURE_CLAIM ]]; then
        reports_ok=0
        notes+=("$base has the line '${first_line[$input]}' although its new output stands")
      elif ((!failed && count != 0)); then
        warned=1  # a note on a converted file that claims no failure
      fi
    fi
  done
  if ((failed_count < CASE_MIN_FAILED || failed_count > CASE_MAX_FAILED)); then
    rest_ok=0
    notes+=("$failed_count files failed, expected $CASE_MIN_FAILED to $CASE_MAX_FAILED")
  fi
  if [[ $CASE_OUT_REMOVED != yes ]]; then
    for name in "${!now[@]}"; do
      if [[ -z ${expected_names[$name]:-} && -z ${before[$name]:-} && $name != .rowvane-* &&
        $name != filler ]]; then
        outputs_ok=0
        notes+=("unexpected file $name in the output folder")
      fi
    done
  fi
  if [[ $killed != yes && -z $signalled && $crash == 0 && $hang == 0 ]]; then
    ((stray > 0)) && [[ $CASE_REPORTS == strict ]] && reports_ok=0
    local expected_rc=$((failed_count > 0 || any_line || folder_not_flushed ? 1 : 0))
    # A warning alone may or may not make the run count as failed.
    ((failed_count == 0 && warned && rc == 0)) && expected_rc=0
    if ((rc != expected_rc)); then
      reports_ok=0
      notes+=("exit status $rc, expected $expected_rc ($failed_count failed, error lines: $any_line)")
    fi
  fi

  local left
  left=$(temporary_files "$RUN_OUT" "$RUN_DIR/in" "$W/data")
  if [[ -n $left ]]; then
    if [[ $killed == yes ]]; then
      notes+=("after the kill (expected): $(grep -c . <<<"$left") temporary file(s)")
    else
      temps=$(grep -c . <<<"$left")
      notes+=("temporary files left: $(printf '%s' "$left" | sed "s|$W/||" | tr '\n' ' ')")
    fi
  fi

  if ((${#notes[@]} > 8)); then
    notes=("${notes[@]:0:8}" "... and $((${#notes[@]} - 8)) more")
  fi
  local IFS=';'
  record_row "$CASE_CLASS" "$interface" "$CASE_NAME" "$hit" "$inputs_ok" "$outputs_ok" \
    "$rest_ok" "$temps" "$crash" "$hang" "$reports_ok" "$lost" "${notes[*]}"
  if [[ $hit$inputs_ok$outputs_ok$rest_ok$temps$crash$hang$reports_ok$lost == 111100010 ]]; then
    rm -rf "$RUN_DIR/in"  # keep the evidence of failed runs only
    [[ $RUN_OUT == "$RUN_DIR/out" ]] && rm -rf "$RUN_OUT"
  fi
  return 0
}

record_row() {
  local IFS='|'
  local fields=("$@")
  fields[12]=${fields[12]//|/ }
  printf '%s\n' "${fields[*]}" >>"$RESULTS"
  if [[ ${fields[3]}${fields[4]}${fields[5]}${fields[6]}${fields[7]}${fields[8]}${fields[9]}${fields[10]}${fields[11]} == 111100010 ]]; then
    note "ok    class ${fields[0]} ${fields[1]}: ${fields[2]}"
  else
    note "FAIL  class ${fields[0]} ${fields[1]}: ${fields[2]}: ${fields[12]}"
  fi
}
