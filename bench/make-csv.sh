# shellcheck shell=bash disable=SC2154  # $work is the sourcing script's
# Sourced by the bench scripts; uses their $work folder.

# Writes about $2 bytes of 10-column CSV rows (short numbers and words, CR LF
# between lines, no final line break) to $1, after a header line.
make_csv() {
  local file=$1 bytes=$2
  # One block of rows (at most 20000, about 60 bytes each), repeated: quicker
  # than generating every row.
  local rows=$((bytes / 60 + 1))
  ((rows <= 20000)) || rows=20000
  awk -v rows="$rows" 'BEGIN {
    split("apple Bob north x closed blue Zo ready", words, " ");
    seed = 12345;
    for (row = 0; row < rows; ++row) {
      line = "";
      for (column = 0; column < 10; ++column) {
        seed = (seed * 1103515245 + 12345) % 2147483648;
        value = (column % 2 == 0) ? seed % 100000 : words[seed % 8 + 1];
        line = line (column ? "," : "") value;
      }
      printf "\r\n%s", line;
    }
  }' >"$work/block"
  local block_size repeats
  block_size=$(stat -c %s "$work/block")
  repeats=$(((bytes + block_size - 1) / block_size))
  {
    printf 'id,name,city,qty,price,code,flag,note,day,count'
    for ((i = 0; i < repeats; ++i)); do cat "$work/block"; done
  } >"$file"
  rm -f "$work/block"
}
