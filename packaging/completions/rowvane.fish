# fish completion for rowvane; files and folders are completed as arguments.
complete -c rowvane -s h -l help -d 'Print a short help and exit'
complete -c rowvane -s V -l version -d 'Print the version and exit'
