# shellcheck shell=bash
# Class 16: rowvane-cli -O FILE where FILE is a link (to a regular file, to
# a missing one, along a chain, to the input), a name of one of the
# program's own descriptors (/dev/stdout, /dev/fd/1, also appended to), and
# standard input that is the output file or standard output itself; and a
# -r walk over names that are not UTF-8, which must not be passed over. A link
# must stay a link and its target get the conversion; an output that is the
# input must be refused (exit status 2) with the input untouched. The runs
# take place on a small disk, so that an input read back as it grows stops
# at a full disk rather than at the suite's.

CLASS_TITLES[16]='16 -O links, stdin, names'

# Set by each setup below: the command (run by bash in the run folder), the
# exit status it must end with, the file that must hold the conversion
# (empty: none), the text that must stand before it there, and the links that
# must still be links afterwards.
OF_COMMAND=''
OF_STATUS=0
OF_WRITTEN=''
OF_BEFORE=''
OF_LINKS=()

of_link_to_regular() {
  mkdir -p target && printf 'old' >target/t.xml && ln -s ../target/t.xml out/link.xml
  OF_COMMAND='"$CLI" -q -O out/link.xml in.csv' OF_WRITTEN=target/t.xml OF_LINKS=(out/link.xml)
}
of_chain_to_missing() {
  mkdir -p target && ln -s b.xml out/a.xml && ln -s ../target/new.xml out/b.xml
  OF_COMMAND='"$CLI" -q -O out/a.xml in.csv' OF_WRITTEN=target/new.xml
  OF_LINKS=(out/a.xml out/b.xml)
}
of_dev_stdout() {
  OF_COMMAND='"$CLI" -q -O /dev/stdout in.csv >out/o.xml' OF_WRITTEN=out/o.xml
}
of_dev_fd_appended() {
  printf 'head\n' >out/o.xml
  OF_COMMAND='"$CLI" -q -O /dev/fd/1 in.csv >>out/o.xml' OF_WRITTEN=out/o.xml OF_BEFORE=$'head\n'
}
of_link_to_input() {
  ln -s ../in.csv out/l.csv
  OF_COMMAND='"$CLI" -q -O out/l.csv in.csv' OF_STATUS=2 OF_LINKS=(out/l.csv)
}
of_stdin_is_output_file() {
  OF_COMMAND='"$CLI" -q - -O in.csv <in.csv' OF_STATUS=2
}
of_stdin_appended_to_itself() {
  OF_COMMAND='"$CLI" -q --encoding utf-8 - -O - <in.csv >>in.csv' OF_STATUS=2
}

of_walk_names_not_utf8() {
  mkdir -p $'tree/sub\xFF' && cp in.csv $'tree/sub\xFF/caf\xE9.csv'
  OF_COMMAND='"$CLI" -q -r -o out tree' OF_WRITTEN=$'out/caf\xE9.xml'
}

# output_file_case NAME SETUP: runs one case in its own folder and records its row.
output_file_case() {
  local name=$1 setup=$2 dir=$W/runs/ofile-$1
  rm -rf "$dir"
  mount_small_disk "$dir" 8m
  mkdir -p "$dir/out"
  cp "$W/data/single/victim.csv" "$dir/in.csv"
  local before reference
  before=$(sha_of "$dir/in.csv")
  reference=$W/ref/single/victim.xml
  OF_COMMAND='' OF_STATUS=0 OF_WRITTEN='' OF_BEFORE='' OF_LINKS=()
  pushd "$dir" >/dev/null || return
  "$setup"
  popd >/dev/null || return

  local notes=() crash=0 hang=0 inputs_ok=1 outputs_ok=1 reports_ok=1 lost=0 temps rc
  (cd "$dir" && CLI=$CLI timeout -k 5 20 bash -c "$OF_COMMAND" 2>"$dir/stderr")
  rc=$?
  exec_failed "$rc" && not_started 16 cli "$name"
  if ((rc == 124 || rc == 137)); then
    hang=1
    notes+=("no end within 20 s")
  elif ((rc > 128)); then
    crash=1
    notes+=("ended by signal $((rc - 128))")
  elif ((rc != OF_STATUS)); then
    reports_ok=0
    notes+=("exit status $rc, not $OF_STATUS: $(head -c 200 "$dir/stderr")")
  fi
  if grep -Eq 'AddressSanitizer|runtime error:|terminate called' "$dir/stderr"; then
    crash=1
    notes+=("sanitizer or abort message")
  fi
  if [[ $(sha_of "$dir/in.csv") != "$before" ]]; then
    inputs_ok=0 lost=1
    notes+=("the input changed")
  fi
  if ((OF_STATUS == 2)) && ! grep -q 'the output file would replace the input file' "$dir/stderr"; then
    reports_ok=0
    notes+=("no refusal on standard error")
  fi
  local link
  for link in "${OF_LINKS[@]}"; do
    if [[ ! -L $dir/$link ]]; then
      outputs_ok=0 lost=1
      notes+=("$link is no longer a link")
    fi
  done
  if [[ ! -L /dev/stdout ]]; then
    # Replaced as root, it would break every later program on the machine.
    rm -f /dev/stdout && ln -s /proc/self/fd/1 /dev/stdout
    outputs_ok=0 lost=1
    notes+=("/dev/stdout was replaced (put back)")
  fi
  if [[ -n $OF_WRITTEN ]] && ! cmp -s <(printf '%s' "$OF_BEFORE"; cat "$reference") \
    "$dir/$OF_WRITTEN"; then
    outputs_ok=0
    notes+=("$OF_WRITTEN does not hold the conversion")
  fi
  temps=$(temporary_files "$dir" | wc -l)
  unmount_small_disk "$dir"
  record_row 16 cli "$name" 1 "$inputs_ok" "$outputs_ok" 1 "$temps" "$crash" "$hang" \
    "$reports_ok" "$lost" "${notes[*]}"
}

class_16() {
  say "class 16: -O on links and descriptor names, standard input as the output"
  output_file_case link-to-regular-file of_link_to_regular
  output_file_case link-chain-to-missing-file of_chain_to_missing
  output_file_case dev-stdout-into-a-file of_dev_stdout
  output_file_case dev-fd-1-appended of_dev_fd_appended
  output_file_case link-to-the-input of_link_to_input
  output_file_case stdin-is-the-output-file of_stdin_is_output_file
  output_file_case stdin-appended-to-itself of_stdin_appended_to_itself
  output_file_case walk-names-not-utf-8 of_walk_names_not_utf8
}
