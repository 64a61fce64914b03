#!/bin/bash
# The shell completions of private-folders, called as the shells call them, on a copy of the
# demo device. Usage: completion_test.sh <program> <completions folder> <demo folder>
set -u
program=$1 completions=$2 demo=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$demo" "$work/demo"
mkdir "$work/bin"
ln -s "$program" "$work/bin/private-folders"
export PATH="$work/bin:$PATH" LUNAVIO_SIMULATION="$work/demo/lunavio.sim"
export LUNAVIO_REGISTRY="$work/demo/hkcu.reg"
failures=0

# expect <shell> <what> <expected words, sorted, one a line> <got>
expect() {
    if [[ "$3" != "$4" ]]; then
        printf '%s: %s: expected\n%s\ngot\n%s\n' "$1" "$2" "$3" "$4" >&2
        failures=$((failures + 1))
    fi
}

# bash: the words of a command line whose last word is being completed.
bash_complete() {
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _private_folders
             printf "%s\n" "${COMPREPLY[@]}" | sort' _ "$completions/private-folders.bash" "$@"
}
expect bash "s" $'set\nshow' "$(bash_complete private-folders s)"
expect bash "show drive" $'--help\n--json\nE\nF' "$(bash_complete private-folders show '')"
expect bash "set option" $'--dry-run' "$(bash_complete private-folders set E --dr)"
expect bash "models" $'add' "$(bash_complete private-folders models a)"
expect bash "models remove" $'KR512' "$(bash_complete private-folders models remove K)"
expect bash "password" '' "$(bash_complete private-folders set E --password '')"

if command -v fish >/dev/null; then
    fish_complete() {
        fish --no-config -c "source $completions/private-folders.fish; complete -C '$1'" |
            cut -f1 | sort
    }
    fish -n "$completions/private-folders.fish" || failures=$((failures + 1))
    expect fish "s" $'set\nshow' "$(fish_complete 'private-folders s')"
    expect fish "show drive" $'E\nF' "$(fish_complete 'private-folders show ' | grep -v '^-')"
    expect fish "models remove" $'KR512' "$(fish_complete 'private-folders models remove K')"
else
    echo "fish is not installed: its completion is not tried" >&2
fi

if command -v zsh >/dev/null; then
    zsh -n "$completions/_private-folders" || failures=$((failures + 1))
    # Loading it defines the function and registers it.
    got=$(zsh -f -c 'compdef() { print -r -- "compdef $*"; }; source "$1"; whence -w _private-folders' \
        _ "$completions/_private-folders")
    expect zsh "load" $'compdef _private-folders private-folders\n_private-folders: function' "$got"
else
    echo "zsh is not installed: its completion is not tried" >&2
fi

exit $((failures > 0))
