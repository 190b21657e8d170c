# shellcheck shell=bash
# The one table at the end of the suite, from the rows in $RESULTS.

# Titles of classes kept in their own files: CLASS_TITLES[13]='13 ...'.
declare -A CLASS_TITLES=()

class_title() {
  if [[ -n ${CLASS_TITLES[$1]:-} ]]; then
    printf '%s' "${CLASS_TITLES[$1]}"
    return
  fi
  case $1 in
    0) printf 'suite itself' ;;
    1) printf '1 disk full' ;;
    2) printf '2 write/fsync/rename fail' ;;
    3) printf '3 input read fails' ;;
    4) printf '4 immutable, read-only' ;;
    5) printf '5 folder/input vanish' ;;
    6) printf '6 odd files, links, walk' ;;
    7) printf '7 kill -9 while saving' ;;
    8) printf '8 memory cap' ;;
    9) printf '9 broken settings' ;;
    10) printf '10 concurrent runs' ;;
    11) printf '11 output folder swap' ;;
    12) printf '12 signals while saving' ;;
    *) printf '%s' "$1" ;;
  esac
}

# disclosed_count: the files handed to a user who could not read their
# source, over every run that counts them ($W/disclosed, a count a line).
disclosed_count() {
  if [[ -f $W/disclosed ]]; then
    awk '{ n += $1 } END { print n + 0 }' "$W/disclosed"
  else
    printf '0'
  fi
}

# print_table: the table, then "data lost: N", then the count of passed and
# failed runs and of runs started against runs planned (each row is a planned
# run; $NOT_STARTED lists those that could not start). Fails when any run
# broke an invariant or did not start, or when there are no rows at all.
print_table() {
  local class
  {
    printf '%-27s %5s %-13s %6s %7s %7s %6s %5s %7s %5s %7s\n' "fault class" runs "cli/win/bin" \
      "fault" "inputs" "outputs" "rest" "temp" "crashes" "hangs" "reports"
    printf '%-27s %5s %-13s %6s %7s %7s %6s %5s %7s %5s %7s\n' "" "" "" \
      "hit" "unchgd" "ok/kept" "conv." "files" "" "" "right"
    cut -d'|' -f1 "$RESULTS" | sort -n -u | while read -r class; do
      awk -F'|' -v class="$class" -v title="$(class_title "$class")" '
        $1 == class {
          runs++; iface[$2]++
          hit += $4; inputs += $5; outputs += $6; rest += $7
          temps += $8; crashes += $9; hangs += $10; reports += $11
        }
        END {
          split_ = sprintf("%d/%d/%d", iface["cli"], iface["window"], iface["binary"])
          printf "%-27s %5d %-13s %6s %7s %7s %6s %5d %7d %5d %7s\n", title, runs, split_,
            hit "/" runs, inputs "/" runs, outputs "/" runs, rest "/" runs, temps, crashes,
            hangs, reports "/" runs
        }' "$RESULTS"
    done
    awk -F'|' '
      { runs++; hit += $4; inputs += $5; outputs += $6; rest += $7
        temps += $8; crashes += $9; hangs += $10; reports += $11; lost += $12 }
      END {
        printf "%-27s %5d %-13s %6s %7s %7s %6s %5d %7d %5d %7s\n", "all", runs, "", hit "/" runs,
          inputs "/" runs, outputs "/" runs, rest "/" runs, temps, crashes, hangs, reports "/" runs
        printf "data lost: %d\n", lost
      }' "$RESULTS"
    printf 'disclosed: %d\n' "$(disclosed_count)"
  }
  awk -F'|' -v not_started="$(grep -c . "$NOT_STARTED" 2>/dev/null || true)" '
    { rows++ }
    $4 != 1 || $5 != 1 || $6 != 1 || $7 != 1 || $8 != 0 || $9 != 0 || $10 != 0 || $11 != 1 ||
      $12 != 0 { bad++ }
    END {
      printf "reliability: %d passed, %d failed; %d of %d planned runs started\n", rows - bad, bad,
        rows - not_started, rows
      exit (rows == 0 || bad > 0 || not_started > 0) ? 1 : 0
    }' "$RESULTS"
}
