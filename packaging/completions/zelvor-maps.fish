# fish completion for zelvor-maps
set -l commands list render import due check

complete -c zelvor-maps -f -n "not __fish_seen_subcommand_from $commands" -a list -d 'List the points of pictures or map files'
complete -c zelvor-maps -f -n "not __fish_seen_subcommand_from $commands" -a render -d 'Write a picture with its points to PNG, JPEG or PDF'
complete -c zelvor-maps -f -n "not __fish_seen_subcommand_from $commands" -a import -d 'Add points from a CSV file'
complete -c zelvor-maps -f -n "not __fish_seen_subcommand_from $commands" -a due -d 'List the points that are due'
complete -c zelvor-maps -f -n "not __fish_seen_subcommand_from $commands" -a check -d 'Check that map files can be read'
complete -c zelvor-maps -n "not __fish_seen_subcommand_from $commands" -s v -l version -d 'Show the version and exit'

complete -c zelvor-maps -s h -l help -d 'Describe the command'
complete -c zelvor-maps -n "__fish_seen_subcommand_from $commands" -l base -x -a '(__fish_complete_directories)' -d 'The folder holding MAPS and Defaults.map'
complete -c zelvor-maps -n "__fish_seen_subcommand_from list due" -l format -x -a 'table csv json' -d 'Output form'
complete -c zelvor-maps -n "__fish_seen_subcommand_from render" -l width -x -d 'Draw fitted to this width'
complete -c zelvor-maps -n "__fish_seen_subcommand_from render" -l zoom -x -d 'Draw at this zoom (1 is full size)'
complete -c zelvor-maps -n "__fish_seen_subcommand_from render" -l no-points -d 'Leave the points out'
complete -c zelvor-maps -n "__fish_seen_subcommand_from render" -l at -x -d 'Draw as at this local time'
complete -c zelvor-maps -n "__fish_seen_subcommand_from render" -l type -x -a 'png jpeg pdf' -d 'The output form'
complete -c zelvor-maps -n "__fish_seen_subcommand_from import" -l replace -d 'Replace all points instead of adding'
complete -c zelvor-maps -n "__fish_seen_subcommand_from due" -l before -x -d 'Due before this local time'
