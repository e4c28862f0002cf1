# SPDX-License-Identifier: GPL-3.0-or-later
# Bash completion for tavrilo-convert: its commands, their options, file names.

_tavrilo_convert() {
    local cur prev words cword
    _init_completion || return

    # One line per command: the options it takes.
    local -A options=(
        [basic]="-o --83p --8xp -h --help"
        [asm]="-o --83p --small --line-above-page --show-page --scroll-up -h --help"
        [preview]="-o --scale --small --line-above-page --show-page --scroll-up -h --help"
        [send]="--cable --device --timeout -h --help"
    )

    local command="" i
    for ((i = 1; i < cword; i++)); do
        if [[ -n ${options[${words[i]}]+set} ]]; then
            command=${words[i]}
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
        --83p | --8xp | --scale | --timeout)
            return ;;
    esac

    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "${!options[*]} -h --help --version" -- "$cur"))
    elif [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "${options[$command]}" -- "$cur"))
    elif [[ $command == preview && $prev == preview ]]; then
        COMPREPLY=($(compgen -W "basic asm" -- "$cur"))
    else
        _filedir
    fi
} &&
    complete -F _tavrilo_convert tavrilo-convert
