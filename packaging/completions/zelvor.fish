# fish completion for zelvor
complete -c zelvor -l base -x -a '(__fish_complete_directories)' -d 'Use DIR as the start-up folder'
complete -c zelvor -s h -l help -d 'Show the help and exit'
complete -c zelvor -s v -l version -d 'Show the version and exit'
