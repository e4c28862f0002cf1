# SPDX-License-Identifier: GPL-3.0-or-later
# Bash completion for tavrilo-convert: its commands, their options, file names.

_tavrilo_convert() {
    local cur prev words cword
    _init_completion || return

    local layout="--small --line-above-page --show-page --scroll-up"
    # One line per command: the options it takes.
    local -A options=(
        [basic]="-o --83p --8xp --ce --raw --encoding --from"
        [asm]="-o --83p --8xp --raw --encoding --from $layout"
        [preview]="-o --scale --raw --encoding --from"
        [send]="--cable --device --calc --archive --timeout"
    )

    # The command, and for preview its kind (basic or asm).
    local command="" kind="" i
    for ((i = 1; i < cword; i++)); do
        if [[ -z $command && -n ${options[${words[i]}]+set} ]]; then
            command=${words[i]}
        elif [[ $command == preview && ${words[i]} == @(basic|asm) ]]; then
            kind=${words[i]}
            break
        fi
    done

    case $prev in
        -o)
            [[ $command == preview ]] && _filedir -d || _filedir
            return ;;
        --device)
            _filedir
            return ;;
        --cable)
            COMPREPLY=($(compgen -W "auto usb graylink virtual" -- "$cur"))
            return ;;
        --encoding)
            COMPREPLY=($(compgen -W "auto utf-8 windows-1252" -- "$cur"))
            return ;;
        --from)
            COMPREPLY=($(compgen -W "pdf epub docx odt text" -- "$cur"))
            return ;;
        --calc)
            COMPREPLY=($(compgen -W "ti83 ti83p ti84p ce" -- "$cur"))
            return ;;
        --83p | --8xp | --scale | --timeout)
            return ;;
        --ce)
            # basic --ce takes a program name; preview basic --ce is a flag.
            [[ $command == basic ]] && return ;;
    esac

    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "${!options[*]} -h --help --version" -- "$cur"))
    elif [[ $command == preview && -z $kind ]]; then
        COMPREPLY=($(compgen -W "basic asm" -- "$cur"))
    elif [[ $cur == -* ]]; then
        local more=""
        [[ $kind == asm ]] && more=$layout
        [[ $kind == basic ]] && more=--ce
        COMPREPLY=($(compgen -W "${options[$command]} $more -h --help" -- "$cur"))
    else
        _filedir
    fi
} &&
    complete -F _tavrilo_convert tavrilo-convert
