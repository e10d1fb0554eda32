# bash completion for veskari-scan                         -*- shell-script -*-
# SPDX-License-Identifier: MIT

_veskari_scan()
{
    local cur prev words cword
    _init_completion || return

    case $prev in
        --extract)
            _filedir -d
            return
            ;;
        --reference)
            _filedir
            return
            ;;
        -j | --jobs)
            COMPREPLY=($(compgen -W "1 2 4 8 16 $(nproc 2>/dev/null)" -- "$cur"))
            return
            ;;
        -h | --help | --version)
            return
            ;;
    esac

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--crlf --json --json-lines --csv -v --verbose
            --extract --extract-members -j --jobs --all-formats --standing --reference
            --reference-only -h --help --version' -- "$cur"))
        return
    fi
    # PATH: any file or folder; "-" reads standard input.
    _filedir
}
complete -F _veskari_scan veskari-scan
