# shellcheck shell=bash
# The inputs the suite converts, their earlier outputs and their reference
# conversions. Sourced by run-suite; expects W and CLI.
#
#   $W/data/batch/f001.csv ... f100.csv   the 100-file batch
#   $W/data/single/victim.csv             one file whose output passes 16 KiB
#   $W/data/bigone/big.csv                one file of 5 MB (written from the
#                                         engine's second thread)
#   $W/data/self/self.xml                 an input named like its own output
#   $W/prior/CTX/*.xml                    earlier outputs placed before a run
#   $W/ref/CTX.sha, $W/ref/CTX.size       the reference conversion

# gen_rows COUNT WIDTH: a header line and COUNT records, lines ending CR LF.
gen_rows() {
  awk -v n="$1" -v w="$2" 'BEGIN {
    pad = ""
    for (k = 0; k < w; k++) pad = pad "n"
    printf "id,name,amount\r\n"
    for (i = 1; i <= n; i++) printf "%d,name-%s%d,%d\r\n", i, pad, i % 97, (i * 7) % 1000
  }'
}

earlier_output() {
  printf '<XML>\r\nearlier output of %s, to be kept when its conversion fails\r\n</XML>' "$1"
}

make_batch() {
  local folder=$W/data/batch prior=$W/prior/batch i name
  mkdir -p "$folder" "$prior"
  for i in $(seq 1 100); do
    name=$(printf 'f%03d' "$i")
    case $i in
      13) { printf '\xff\xfe'; printf 'id,city\r\n1,Zürich\r\n2,Århus\r\n' | iconv -f UTF-8 -t UTF-16LE; } ;;
      21) : ;;
      33) printf 'id,name\n1,lf-only\n2,no final break' ;;
      44) { printf 'id,text\r\n7,'; head -c 100000 /dev/zero | tr '\0' 'x'; printf '\r\n'; } ;;
      50) gen_rows 1200 8 ;;
      77) gen_rows 170000 10 ;;
      88) printf 'a;b;c\r\n1;2;3\r\n' ;;
      99) printf 'id,markup\r\n1,<b>&amp;</b> "quoted, or not"\r\n2,\t tabs and  spaces \r\n' ;;
      *) gen_rows $((1 + i * 37 % 30)) $((i % 7)) ;;
    esac >"$folder/$name.csv"
    if ((i % 3 == 0 || i == 50 || i == 77)); then
      earlier_output "$name" >"$prior/$name.xml"
    fi
  done
}

make_single_files() {
  mkdir -p "$W/data/single" "$W/data/bigone" "$W/prior/single" "$W/prior/bigone"
  cp "$W/data/batch/f050.csv" "$W/data/single/victim.csv"
  cp "$W/data/batch/f077.csv" "$W/data/bigone/big.csv"
  earlier_output victim >"$W/prior/single/victim.xml"
  earlier_output big >"$W/prior/bigone/big.xml"
  # An input whose output name is its own name.
  mkdir -p "$W/data/self"
  cp "$W/data/batch/f001.csv" "$W/data/self/self.xml"
}

# Inputs that are no regular file, or that cannot be opened: named like CSV
# files, in $W/data/odd.
ODD_NAMES=(fifo.csv sock.csv null.csv zero.csv folder.csv loop.csv dangling.csv unreadable.csv)

make_odd_files() {
  local odd=$W/data/odd
  mkdir -p "$odd/folder.csv"
  mkfifo "$odd/fifo.csv"
  make_socket "$odd/sock.csv"
  mknod "$odd/null.csv" c 1 3 2>/dev/null || ln -s /dev/null "$odd/null.csv"
  ln -s /dev/zero "$odd/zero.csv"
  ln -s loop2.csv "$odd/loop.csv"
  ln -s loop.csv "$odd/loop2.csv"
  ln -s nowhere.csv "$odd/dangling.csv"
  cp "$W/data/batch/f002.csv" "$odd/unreadable.csv"
  chmod 0 "$odd/unreadable.csv"
}

make_socket() {
  perl -MIO::Socket::UNIX -e 'IO::Socket::UNIX->new(Type => SOCK_STREAM(), Local => $ARGV[0])
    or die "cannot make the socket $ARGV[0]: $!\n"' "$1"
}

# A folder tree for the walk (-r): links that loop, dangle or leave the
# tree, pipes, sockets and devices named like CSV files, an unreadable folder.
make_walk_tree() {
  local tree=$W/data/tree
  mkdir -p "$tree/sub/deep" "$tree/locked" "$W/data/outside"
  gen_rows 4 2 >"$tree/a.csv"
  gen_rows 9 3 >"$tree/sub/c.csv"
  gen_rows 2 1 >"$tree/sub/deep/d.csv"
  gen_rows 3 4 >"$tree/locked/l.csv"
  gen_rows 5 5 >"$W/data/outside/o.csv"
  gen_rows 1 1 >"$tree/~lock.csv"
  gen_rows 1 1 >"$tree/.hidden.csv"
  printf 'not a csv\r\n' >"$tree/notes.txt"
  mkfifo "$tree/sub/fifo.csv"
  make_socket "$tree/sub/sock.csv"
  mknod "$tree/sub/null.csv" c 1 3 2>/dev/null || ln -s /dev/null "$tree/sub/null.csv"
  ln -s /dev/zero "$tree/sub/zero.csv"
  ln -s . "$tree/loop"
  ln -s .. "$tree/sub/up"
  ln -s ../outside "$tree/out-link"
  ln -s ../nowhere "$tree/dangling-dir"
  ln -s nowhere.csv "$tree/dangling.csv"
  chmod 0 "$tree/locked"
}

# context_inputs CTX: the input paths of a context, in list order.
context_inputs() {
  local name
  case $1 in
    batch) printf '%s\n' "$W"/data/batch/f*.csv ;;
    single) printf '%s\n' "$W/data/single/victim.csv" ;;
    bigone) printf '%s\n' "$W/data/bigone/big.csv" ;;
    odd)
      printf '%s\n' "$W"/data/batch/f*.csv
      for name in "${ODD_NAMES[@]}"; do
        printf '%s\n' "$W/data/odd/$name"
      done
      ;;
    # What the walk of the tree must find, in the walk's order.
    tree) printf '%s\n' "$W"/data/tree/{a.csv,locked/l.csv,out-link/o.csv,sub/c.csv,sub/deep/d.csv} ;;
    *) say "unknown context $1" && return 1 ;;
  esac
}

# make_reference CTX: a normal run over the regular files of CTX into a clean
# folder; its digests and sizes.
make_reference() {
  local out=$W/ref/$1 inputs=() input
  mkdir -p "$out"
  while read -r input; do
    [[ -f $input && ! -L $input ]] && inputs+=("$input")
  done < <(context_inputs "$1")
  "$CLI" -q -o "$out" "${inputs[@]}" || {
    say "the reference run for $1 failed: the suite cannot judge anything"
    return 1
  }
  hash_folder "$out" >"$W/ref/$1.sha"
  (cd "$out" && find . -maxdepth 1 -type f -printf '%s %P\n' | sort -k2) >"$W/ref/$1.size"
}

make_data() {
  make_batch
  make_single_files
  make_odd_files
  make_walk_tree
  local context
  for context in batch single bigone odd tree; do
    make_reference "$context" || return 1
  done
  tree_manifest "$W/data" >"$W/pristine.manifest"
}

# reference_size CTX NAME: the size of NAME in the reference of CTX.
reference_size() {
  awk -v name="$2" '$2 == name { print $1 }' "$W/ref/$1.size"
}

# skip_before CTX VICTIM OFFSET: how many outputs before VICTIM's (in list
# order) hold byte OFFSET, so that a shim rule with that skip= hits VICTIM.
skip_before() {
  local input name size count=0
  while read -r input; do
    name=$(output_name "$input")
    [[ $name == "$2" ]] && break
    size=$(reference_size "$1" "$name")
    [[ -n $size ]] && ((size > $3)) && count=$((count + 1))
  done < <(context_inputs "$1")
  printf '%d' "$count"
}

# larger_than CTX SIZE: a regular expression for the inputs of CTX whose
# reference output is larger than SIZE bytes.
larger_than() {
  local input name size names=()
  while read -r input; do
    name=$(output_name "$input")
    size=$(reference_size "$1" "$name")
    [[ -n $size ]] && ((size > $2)) && names+=("${input##*/}")
  done < <(context_inputs "$1")
  if ((${#names[@]} == 0)); then
    printf '^$'
  else
    local IFS='|'
    printf '^(%s)$' "${names[*]//./\\.}"
  fi
}
