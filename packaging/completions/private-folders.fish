# fish completion for private-folders

function __private_folders_words
    set -l program (commandline -opc)[1]
    $program __complete $argv 2>/dev/null
end

set -l commands drives show set check models
complete -c private-folders -f
complete -c private-folders -n "not __fish_seen_subcommand_from $commands" -l help -d 'Show the usage'
complete -c private-folders -n "not __fish_seen_subcommand_from $commands" -l version -d 'Show the version'
complete -c private-folders -n "not __fish_seen_subcommand_from $commands" -a drives -d "Explain which drives are found as the disk's and why"
complete -c private-folders -n "not __fish_seen_subcommand_from $commands" -a show -d "Show a drive's protection settings"
complete -c private-folders -n "not __fish_seen_subcommand_from $commands" -a set -d "Change a drive's private folders or password"
complete -c private-folders -n "not __fish_seen_subcommand_from $commands" -a check -d 'Check whether a file is a valid protection file'
complete -c private-folders -n "not __fish_seen_subcommand_from $commands" -a models -d 'Show the model list, or change it'
complete -c private-folders -n "__fish_seen_subcommand_from $commands" -l json -d 'Answer in JSON'
complete -c private-folders -n "__fish_seen_subcommand_from $commands" -s h -l help -d 'Show the usage'
complete -c private-folders -n "__fish_seen_subcommand_from show set" -a "(__private_folders_words drives)" -d 'Drive of the disk'
complete -c private-folders -n "__fish_seen_subcommand_from set" -l password -x -d 'The new password, four digits'
complete -c private-folders -n "__fish_seen_subcommand_from set" -l private -x -d 'Make this root folder private'
complete -c private-folders -n "__fish_seen_subcommand_from set" -l public -x -d 'Make this root folder public'
complete -c private-folders -n "__fish_seen_subcommand_from set" -l all-public -d 'Make every folder public first'
complete -c private-folders -n "__fish_seen_subcommand_from set" -l dry-run -d 'Check and show the settings as they would be; write nothing'
complete -c private-folders -n "__fish_seen_subcommand_from check" -F
complete -c private-folders -n "__fish_seen_subcommand_from models; and not __fish_seen_subcommand_from add remove" -a add -d 'Add a model that supports private folders'
complete -c private-folders -n "__fish_seen_subcommand_from models; and not __fish_seen_subcommand_from add remove" -a remove -d 'Remove a model'
complete -c private-folders -n "__fish_seen_subcommand_from remove" -a "(__private_folders_words models)" -d 'Model'
