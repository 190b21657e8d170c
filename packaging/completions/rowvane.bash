# bash completion for rowvane                              -*- shell-script -*-

_rowvane() {
  local cur prev words cword
  _init_completion || return
  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W '-h --help -V --version --' -- "$cur")
    return
  fi
  # Files and folders alike: a folder adds the files in it.
  _filedir
}
complete -F _rowvane rowvane
