#!/usr/bin/env bash
# The bash completion offers every command the tool's help lists, and each command's own
# subcommands: a command added to the tool but not to the completion fails here.
set -euo pipefail
cli=$1
completion=$2
source /usr/share/bash-completion/bash_completion
source "$completion"

offered() {
    local line=$1
    read -ra COMP_WORDS <<< "$line"
    COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="$line "
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _tagbench_cli
    echo " ${COMPREPLY[*]} "
}

subcommands() {  # the names under "Subcommands:" in the help of "$@"
    "$cli" "$@" --help | awk '/^Subcommands:/ {on = 1; next} on && NF {print $1}'
}

failures=0
top=$(offered tagbench-cli)
for command in $(subcommands); do
    if [[ $top != *" $command "* ]]; then
        echo "completion lacks the command $command"
        failures=$((failures + 1))
    fi
    nested=$(offered "tagbench-cli $command")
    for sub in $(subcommands "$command"); do
        if [[ $nested != *" $sub "* ]]; then
            echo "completion lacks $command $sub"
            failures=$((failures + 1))
        fi
    done
done
echo "$failures failed"
[[ $failures -eq 0 ]]
