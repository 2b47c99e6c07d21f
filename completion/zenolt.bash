# Bash completion for Zenolt, ZenoltBatch, ZenoltWatch, ZenoltDump and
# ZenoltSession.
# Installed once as Zenolt, the other names linking to it, so that
# bash-completion loads it for whichever program is completed first. Needs
# bash alone (compgen), not bash-completion's helpers.

# Sets COMPREPLY to the command words Zenolt's first word may be: those the
# running planetarium lists for "?" (the first word of each line, asked with a
# limit of about one second), else those of Zenolt's usage list.
_zenolt() {
    local current=${COMP_WORDS[COMP_CWORD]} program=${COMP_WORDS[0]} words
    COMPREPLY=()
    [ "$COMP_CWORD" -eq 1 ] || return 0
    words=$(timeout 1 "$program" '?' 2>/dev/null |
        awk '$1 != "" && $1 != "OK!" { print $1 }')
    if [ -z "$words" ]; then
        words=$("$program" 2>/dev/null | awk '$1 == "Zenolt" && NF > 1 { print $2 }')
    fi
    local IFS=$'\n'
    COMPREPLY=($(compgen -W "$words" -- "$current"))
}

# Sets COMPREPLY to ZenoltBatch's options, or to file names (and -) where the
# script goes; nothing after an option that takes a value.
_zenolt_batch() {
    local current=${COMP_WORDS[COMP_CWORD]} previous=${COMP_WORDS[COMP_CWORD-1]}
    COMPREPLY=()
    case $previous in
        --timeout | --pause | --server | --version | --help) return 0 ;;
    esac
    if [[ $current == -* ]]; then
        COMPREPLY=($(compgen -W "--timeout --pause --replies --json --server --dde
            --help --version -" -- "$current"))
    else
        local IFS=$'\n'
        COMPREPLY=($(compgen -f -- "$current"))
        compopt -o filenames 2>/dev/null || true
    fi
}

# Sets COMPREPLY to ZenoltWatch's options; nothing after one that takes a value.
_zenolt_watch() {
    local current=${COMP_WORDS[COMP_CWORD]} previous=${COMP_WORDS[COMP_CWORD-1]}
    COMPREPLY=()
    case $previous in
        --count | --timeout | --poll | --server | --version | --help) return 0 ;;
    esac
    COMPREPLY=($(compgen -W "--now --count --timeout --poll --json --server --dde
        --help --version" -- "$current"))
}

# Sets COMPREPLY to ZenoltSession's options, or to a command to run, then
# file names for its arguments; nothing after an option that takes a value.
_zenolt_session() {
    local current=${COMP_WORDS[COMP_CWORD]} previous=${COMP_WORDS[COMP_CWORD-1]} i
    COMPREPLY=()
    case $previous in
        --idle | --server | --stop | --version | --help) return 0 ;;
    esac
    local IFS=$'\n'
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
            --server | --idle) ((i++)) ;;
            -*) ;;
            *) COMPREPLY=($(compgen -f -- "$current")); return 0 ;;
        esac
    done
    if [[ $current == -* ]]; then
        COMPREPLY=($(compgen -W $'--start\n--idle\n--cmd\n--pwsh\n--stop\n--server\n--help\n--version' -- "$current"))
    else
        COMPREPLY=($(compgen -c -- "$current"))
    fi
}

# ZenoltDump takes no arguments: nothing to offer.
_zenolt_dump() {
    COMPREPLY=()
}

complete -F _zenolt Zenolt
complete -F _zenolt_batch ZenoltBatch
complete -F _zenolt_watch ZenoltWatch
complete -F _zenolt_dump ZenoltDump
complete -F _zenolt_session ZenoltSession
