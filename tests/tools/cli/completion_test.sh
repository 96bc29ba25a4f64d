#!/usr/bin/env bash
# The bash completion offers every command the tool's help lists, and each command's own
# subcommands: a command added to the tool but not to the completion fails here. With
# --family, `params|net|special set` offers the names a reader of that family prints.
set -euo pipefail
cli=$1
completion=$2
sim=$3
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
# A virtual reader of each family: the names --family offers are the ones its `get` prints
# (none for a record the family lacks).
work=$(mktemp -d)
sim_pid=''
trap '[[ -n $sim_pid ]] && kill "$sim_pid"; rm -rf "$work"' EXIT
families=$(offered "tagbench-cli --family")
for family in fir hazel elm cedar cedar2 birch birch2 alder; do
    if [[ $families != *" $family "* ]]; then
        echo "completion lacks the family $family"
        failures=$((failures + 1))
    fi
done
for family in $families; do
    "$sim" --family "$family" --tcp 0 > "$work/sim" &
    sim_pid=$!
    for ((waited = 0; waited < 300; waited++)); do
        grep -q '^tcp ' "$work/sim" && break
        sleep 0.1
    done
    address=tcp://$(sed -n 's/^tcp //p' "$work/sim")
    for record in params net special; do
        printed=$("$cli" -r "$address" "$record" get 2>/dev/null | sed -n 's/^\([a-z0-9_]*\)=.*/\1=/p' |
            sort | tr '\n' ' ') || true
        given=$(offered "tagbench-cli --family ${family^^} $record set" | tr ' ' '\n' | sed '/^$/d' |
            sort | tr '\n' ' ')
        if [[ $given != "$printed" ]]; then
            echo "--family $family $record set offers [$given], a $family reader has [$printed]"
            failures=$((failures + 1))
        fi
    done
    kill "$sim_pid"
    wait "$sim_pid" || true
    sim_pid=''
done

echo "$failures failed"
[[ $failures -eq 0 ]]
