# bash completion for rowvane-cli                          -*- shell-script -*-

_rowvane_cli() {
  local cur prev words cword split
  _init_completion -s || return
  case $prev in
    -o | --output)
      _filedir -d
      return
      ;;
    -O | --output-file)
      # "-" is standard output.
      _filedir
      [[ - == "$cur"* ]] && COMPREPLY+=(-)
      return
      ;;
    -s | --separator)
      mapfile -t COMPREPLY < <(compgen -W 'tab comma semicolon pipe space' -- "$cur")
      return
      ;;
    --encoding)
      mapfile -t COMPREPLY < <(compgen -W 'auto utf-8 windows-1252 utf-16le utf-16be' -- "$cur")
      return
      ;;
    --format)
      mapfile -t COMPREPLY < <(compgen -W 'classic standard' -- "$cur")
      return
      ;;
    --line-breaks)
      mapfile -t COMPREPLY < <(compgen -W 'crlf any' -- "$cur")
      return
      ;;
    --quotes)
      mapfile -t COMPREPLY < <(compgen -W 'none double' -- "$cur")
      return
      ;;
    --escape)
      mapfile -t COMPREPLY < <(compgen -W 'none xml' -- "$cur")
      return
      ;;
    --schema)
      _filedir xsd
      return
      ;;
    --print-schema)
      _filedir
      return
      ;;
    --report)
      # "-" is standard error.
      _filedir
      [[ - == "$cur"* ]] && COMPREPLY+=(-)
      return
      ;;
    --watch | --done | --failed)
      _filedir -d
      return
      ;;
    --settle)
      return
      ;;
    --shard)
      mapfile -t COMPREPLY < <(compgen -W 'auto auto/ 0/2 1/2 0/4 1/4 2/4 3/4' -- "$cur")
      return
      ;;
    --layout)
      mapfile -t COMPREPLY < <(compgen -W 'elements attributes' -- "$cur")
      return
      ;;
    --types)
      mapfile -t COMPREPLY < <(compgen -W 'inferred text' -- "$cur")
      return
      ;;
    --template)
      _filedir xml
      return
      ;;
    --document-tag | --row-tag | -j | --jobs | --param)
      return
      ;;
  esac
  $split && return
  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W '-o --output -O --output-file -p --parents
      -s --separator --encoding --no-header --document-tag --row-tag --format
      --line-breaks --quotes --escape --no-row-tags --layout --template --param --print-template
      --schema --print-schema --types
      -n --no-clobber --no-sync -r --recursive
      --keep-tree --dry-run --update -j --jobs --report --gzip --gzip= --shard
      --merge-reports
      --watch --done --failed --settle
      -q --quiet -v --verbose -h --help -V --version
      -' -- "$cur")
    [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
    return
  fi
  # Inputs are files, or folders with -r; "-" (standard input) is offered
  # with the options above.
  _filedir
}
complete -F _rowvane_cli rowvane-cli
