# bash completion for private-folders

_private_folders() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local program=${COMP_WORDS[0]} command="" sub="" i
    # The command, and for models its own command, are the first words that are no option.
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
            -*) ;;
            *) if [[ -z $command ]]; then command=${COMP_WORDS[i]}
               elif [[ $command == models && -z $sub ]]; then sub=${COMP_WORDS[i]}
               fi ;;
        esac
    done
    # One word a line: the program's own words (drive letters, model names) may hold spaces.
    local words
    case $command in
        "") words=$'drives\nshow\nset\ncheck\nmodels\n--help\n--version' ;;
        drives) words=$'--json\n--help' ;;
        show) words=$'--json\n--help\n'$("$program" __complete drives 2>/dev/null) ;;
        set)
            case $prev in
                --password|--private|--public) COMPREPLY=(); return ;;
            esac
            words=$'--password\n--private\n--public\n--all-public\n--dry-run\n--json\n--help\n'
            words+=$("$program" __complete drives 2>/dev/null) ;;
        check)
            [[ $cur != -* ]] && { COMPREPLY=($(compgen -f -- "$cur")); return; }
            words=$'--json\n--help' ;;
        models)
            case $sub in
                "") words=$'add\nremove\n--json\n--help' ;;
                remove) words=$'--json\n--help\n'$("$program" __complete models 2>/dev/null) ;;
                *) words=$'--json\n--help' ;;
            esac ;;
    esac
    local IFS=$'\n'
    COMPREPLY=($(compgen -W "$words" -- "$cur"))
}
complete -F _private_folders private-folders
