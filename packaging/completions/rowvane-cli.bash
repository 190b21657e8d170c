# bash completion for rowvane-cli                          -*- shell-script -*-

_rowvane_cli() {
  local cur prev words cword split
  _init_completion -s || return
  case $prev in
    -o | --output)
      _filedir -d
      return
      ;;
    -s | --separator | --document-tag | --row-tag | -j | --jobs)
      return
      ;;
  esac
  $split && return
  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W '-o --output -s --separator --no-header
      --document-tag --row-tag --no-row-tags -j --jobs -q --quiet -r --recursive
      -h --help --version' -- "$cur")
    [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
    return
  fi
  _filedir
}
complete -F _rowvane_cli rowvane-cli
