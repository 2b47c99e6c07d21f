# Bash completion for Zenolt, ZenoltBatch, ZenoltWatch, ZenoltDump and
# ZenoltSession, as the Debian package installs it (so for the Linux programs:
# no --dde). Installed once as Zenolt, the other names linking to it, so that
# bash-completion loads it for whichever program is completed first. Needs
# bash alone (compgen), not bash-completion's helpers. A Tab runs at most one
# program that talks to the planetarium, and prints nothing.

# Sets words, an array of the caller's, to the words of the command line up to
# the cursor, split at blanks as the programs receive them; the last is the
# word being completed ("" after a blank). Bash's own COMP_WORDS also break
# at ':' and '=', which would cut "--server host:3292" in two.
_zenolt_line_words() {
    local line=${COMP_LINE:0:COMP_POINT}
    read -r -a words <<<"$line"
    if [[ -z $line || $line == *[[:blank:]] ]]; then words+=(""); fi
    return 0
}

# Sets COMPREPLY to the given words that begin with CURRENT, in either case
# (the planetarium takes its commands in any case).
_zenolt_offer() {  # _zenolt_offer CURRENT WORD...
    local current=${1^^} word
    shift
    COMPREPLY=()
    for word; do
        if [[ ${word^^} == "$current"* ]]; then COMPREPLY+=("$word"); fi
    done
    return 0
}

# Sets COMPREPLY to the names of files (with "folder", of folders) that begin
# with CURRENT. Bash replaces only the part of the word after its last ':' or
# '=', so that part of each name is offered.
_zenolt_offer_files() {  # _zenolt_offer_files CURRENT [folder]
    local current=$1 kept
    kept=${current%"${current##*[:=]}"}
    if [ "${2-}" = folder ]; then
        mapfile -t COMPREPLY < <(compgen -d -- "$current")
    else
        mapfile -t COMPREPLY < <(compgen -f -- "$current")
    fi
    COMPREPLY=("${COMPREPLY[@]#"$kept"}")
    compopt -o filenames 2>/dev/null || true
    return 0
}

# Writes the command words, one a line: the first word of each line that the
# running planetarium lists for "?" (asked once, for at most about a second,
# without waiting for a planetarium to start and without a trace), else those
# that Cartes du Ciel 4.3 lists. Only words of letters, digits, + and - count:
# "?" itself would be a pattern to the shell, and nothing a server sends
# reaches an expansion.
_zenolt_command_words() {  # _zenolt_command_words PROGRAM
    local program=$1 listed
    if [[ $program == "~/"* ]]; then program=$HOME/${program#"~/"}; fi
    listed=$(env -u ZENOLT_TRACE ZENOLT_WAIT=0 timeout 1 "$program" '?' </dev/null 2>/dev/null |
        awk '$1 ~ /^[A-Za-z0-9+-]+$/ { print $1 }')
    if [ -n "$listed" ]; then
        printf '%s\n' "$listed"
        return 0
    fi
    printf '%s\n' NEWCHART CLOSECHART SELECTCHART LISTCHART SEARCH GETMSGBOX \
        GETCOORBOX GETINFOBOX FIND SAVE LOAD SHUTDOWN RESET LOADDEFAULT SETCAT \
        PLANETINFO GETSELECTEDOBJECT LOADMPCORB RENAMECHART SHOW ZOOM+ ZOOM- \
        MOVEEAST MOVEWEST MOVENORTH MOVESOUTH MOVENORTHEAST MOVENORTHWEST \
        MOVESOUTHEAST MOVESOUTHWEST FLIPX FLIPY SETCURSOR CENTRECURSOR ZOOM+MOVE \
        ZOOM-MOVE ROT+ ROT- SETEQGRID SETGRID SETSTARMODE SETNEBMODE SETAUTOSKY \
        UNDO REDO SETPROJ SETFOV SETRA SETDEC SETOBS IDCURSOR SAVEIMG SETNORTH \
        SETSOUTH SETEAST SETWEST SETZENITH ALLSKY REDRAW GETCURSOR GETEQGRID \
        GETGRID GETSTARMODE GETNEBMODE GETAUTOSKY GETPROJ GETFOV GETRA GETDEC \
        GETDATE GETOBS SETDATE SETTZ GETTZ MOVE DATE OBSL RFSH PDSS SBMP SGIF \
        SJPG IDXY GOXY ZOM+ ZOM- STA+ STA- NEB+ NEB- GREQ GRAZ GRNM CONL CONB \
        EQAZ SETGRIDNUM SETCONSTLINE SETCONSTBOUNDARY RESIZE PRINT GETRISESET \
        MOVESCOPE MOVESCOPEH IDCENTER IDSCOPE SHOWPICTURE SHOWBGIMAGE LOADBGIMAGE \
        GETOBJECTLIST LOADCIRCLE SETCIRCLE SETRECTANGLE SHOWCIRCLE SHOWRECTANGLE \
        MARKCENTER GETSCOPERADEC CONNECTINDI DISCONNECTINDI SLEWINDI ABORTSLEWINDI \
        SYNCINDI TRACKTELESCOPE CONNECTTELESCOPE DISCONNECTTELESCOPE SYNC SLEW \
        ABORTSLEW OBSLISTLOAD OBSLISTFIRST OBSLISTLAST OBSLISTNEXT OBSLISTPREV \
        OBSLISTLIMIT OBSLISTAIRMASSLIMIT OBSLISTTRANSITLIMIT OBSLISTTRANSITSIDE \
        GETSCOPERATES SCOPEMOVEAXIS SETSCOPEREFRESHRATE PLANISPHEREDATE \
        PLANISPHERETIME SETFOVPROJECTION SHOWONLYMERIDIAN SHOWALWAYSMERIDIAN \
        CLEANUPMAP GETCHARTEQSYS GETSCOPESLEWING GETFRAMES SETCHARTEQUINOX \
        SETFIELDNUMBER TRACKOBJECT
}

# Sets COMPREPLY for Zenolt: as its first word, the command words; where a
# command names a file (an image or a chart to save, a chart, settings,
# orbits, a picture, circles or an observing list to load), file names, and
# for SETCAT's catalogue, folders; nothing elsewhere.
_zenolt() {
    local -a words known
    _zenolt_line_words
    local count=${#words[@]} current=${words[-1]}
    COMPREPLY=()
    if [ "$count" -eq 2 ]; then
        mapfile -t known < <(_zenolt_command_words "${COMP_WORDS[0]}")
        _zenolt_offer "$current" "${known[@]}"
        return 0
    fi
    # The command, and which of its arguments is being completed.
    case "${words[1]^^}:$((count - 2))" in
        SAVE:1 | LOAD:1 | LOADDEFAULT:1 | LOADMPCORB:1 | LOADBGIMAGE:1 | LOADCIRCLE:1 | \
            OBSLISTLOAD:1 | SBMP:1 | SGIF:1 | SJPG:1 | SAVEIMG:2 | PRINT:4)
            _zenolt_offer_files "$current" ;;
        SETCAT:1) _zenolt_offer_files "$current" folder ;;
    esac
    return 0
}

# Sets COMPREPLY to ZenoltBatch's options, or to file names (and -) where the
# script goes; nothing for an option's value, nor after the script.
_zenolt_batch() {
    local -a words
    _zenolt_line_words
    local count=${#words[@]} current=${words[-1]} i
    COMPREPLY=()
    for ((i = 1; i < count - 1; i++)); do
        case ${words[i]} in
            --timeout | --pause | --wait | --server) ((++i < count - 1)) || return 0 ;;
            --help | --version) return 0 ;;
            --*) ;;
            *) return 0 ;;
        esac
    done
    if [[ $current == -* ]]; then
        local -a options=(--timeout --pause --wait --replies --json --server -)
        if [ "$count" -eq 2 ]; then options+=(--help --version); fi
        _zenolt_offer "$current" "${options[@]}"
    else
        _zenolt_offer_files "$current"
    fi
    return 0
}

# Sets COMPREPLY to ZenoltWatch's options; nothing for an option's value.
_zenolt_watch() {
    local -a words
    _zenolt_line_words
    local count=${#words[@]} current=${words[-1]} i
    COMPREPLY=()
    for ((i = 1; i < count - 1; i++)); do
        case ${words[i]} in
            --count | --timeout | --poll | --wait | --server) ((++i < count - 1)) || return 0 ;;
            --help | --version) return 0 ;;
        esac
    done
    local -a options=(--now --count --timeout --poll --json --wait --follow --server)
    if [ "$count" -eq 2 ]; then options+=(--help --version); fi
    _zenolt_offer "$current" "${options[@]}"
    return 0
}

# Sets COMPREPLY to ZenoltSession's options, or to the names of commands
# where its command goes (after the options, or after --), then to file
# names for the command's arguments; nothing for an option's value.
_zenolt_session() {
    local -a words
    _zenolt_line_words
    local count=${#words[@]} current=${words[-1]} i
    COMPREPLY=()
    for ((i = 1; i < count - 1; i++)); do
        case ${words[i]} in
            --idle | --server) ((++i < count - 1)) || return 0 ;;
            --help | --version | --stop) return 0 ;;
            --) ((i + 1 < count - 1)) && _zenolt_offer_files "$current" && return 0
                mapfile -t COMPREPLY < <(compgen -c -- "$current" | sort -u)
                return 0 ;;
            --*) ;;
            *) _zenolt_offer_files "$current"; return 0 ;;
        esac
    done
    if [[ $current == -* ]]; then
        local -a options=(--start --idle --cmd --pwsh --stop --server --)
        if [ "$count" -eq 2 ]; then options+=(--help --version); fi
        _zenolt_offer "$current" "${options[@]}"
    else
        mapfile -t COMPREPLY < <(compgen -c -- "$current" | sort -u)
    fi
    return 0
}

# ZenoltDump takes no arguments: nothing to offer.
_zenolt_dump() {
    COMPREPLY=()
}

complete -F _zenolt Zenolt
complete -F _zenolt_batch ZenoltBatch
complete -F _zenolt_watch ZenoltWatch
complete -F _zenolt_session ZenoltSession
complete -F _zenolt_dump ZenoltDump
