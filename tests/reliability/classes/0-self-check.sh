# shellcheck shell=bash disable=SC2034,SC2016  # the CASE_* variables are read by lib/judge.sh
# Class 0: the suite checks itself. Stand-ins for rowvane-cli that convert
# and then do one forbidden thing must each be caught by the judge, in the
# column that thing belongs to; otherwise a clean table would prove nothing.

# fake_program NAME BODY: a stand-in that runs the real converter, then BODY.
fake_program() {
  local path=$W/fakes/$1
  mkdir -p "$W/fakes"
  cat >"$path" <<FAKE
#!/usr/bin/env bash
out=\$5
"$CLI" "\$@"
$2
FAKE
  chmod +x "$path"
  printf '%s' "$path"
}

# expect_caught NAME COLUMN: the last row (by NAME) has COLUMN (4 hit ... 12
# lost) away from its clean value.
expect_caught() {
  local row clean
  row=$(grep "^0|cli|$1|" "$RESULTS" | tail -1)
  case $2 in
    8 | 9 | 10 | 12) clean=0 ;;
    *) clean=1 ;;
  esac
  [[ -n $row && $(cut -d'|' -f"$2" <<<"$row") != "$clean" ]]
}

class_0() {
  say "class 0: the judge catches what it should"
  local real_results=$RESULTS real_not_started=$NOT_STARTED missed=()
  RESULTS=$W/self-check-rows
  NOT_STARTED=$W/self-check-not-started
  : >"$RESULTS"
  : >"$NOT_STARTED"
  local -A body=(
    [damages-an-output]='truncate -s 10 "$out/f010.xml"'
    [removes-an-earlier-output]='rm -f "$out/f003.xml"'
    [touches-an-input]="touch -d '2001-01-01' '$W/data/batch/f020.csv'"
    [leaves-a-temporary-file]='echo half >"$out/.rowvane-abcdefabcdef.tmp"'
    [fails-silently]='cp -p "'"$W"'/prior/batch/f050.xml" "$out/f050.xml"; exit 0'
    [crashes]='kill -SEGV $$'
    [hangs]='sleep 30'
    [claims-a-failure]='echo "rowvane-cli: $7: cannot write: made up" >&2; exit 1'
  )
  local -A column=([damages-an-output]=6 [removes-an-earlier-output]=12
    [touches-an-input]=5 [leaves-a-temporary-file]=8 [fails-silently]=11 [crashes]=9
    [hangs]=10 [claims-a-failure]=11)
  local name
  for name in "${!body[@]}"; do
    CASE_CLASS=0 CASE_NAME=$name CASE_CTX=batch CASE_TIMEOUT=3
    CASE_PROGRAM=$(fake_program "$name" "${body[$name]}")
    run_case 2>/dev/null
    expect_caught "$name" "${column[$name]}" || missed+=("$name")
    # Put back the time the stand-in spoilt.
    touch -d "@$(awk -F'\t' '$1 == "batch/f020.csv" { print $4 }' "$W/pristine.manifest")" \
      "$W/data/batch/f020.csv"
  done
  # A program that cannot even be started must count as a failed run.
  CASE_CLASS=0 CASE_NAME=cannot-start CASE_CTX=batch CASE_TIMEOUT=3
  CASE_PROGRAM=$W/fakes/cannot-start
  printf '#!/bin/sh\n' >"$CASE_PROGRAM" && chmod 0644 "$CASE_PROGRAM"
  run_case 2>/dev/null
  if ! expect_caught cannot-start 4 || ! grep -q '^0|cli|cannot-start$' "$NOT_STARTED"; then
    missed+=(cannot-start)
  fi
  RESULTS=$real_results
  NOT_STARTED=$real_not_started
  if ((${#missed[@]})); then
    record_row 0 cli judge-self-check 1 1 1 1 0 0 0 0 0 "not caught: ${missed[*]}"
  else
    record_row 0 cli judge-self-check 1 1 1 1 0 0 0 1 0 ""
  fi
}
