# bash completion for veltrun

_veltrun() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    # '=' is a word of its own for bash: "--charset=g" arrives as "--charset" "=" "g".
    if [[ $cur == = ]]; then
        cur=
    elif [[ $prev == = && $COMP_CWORD -ge 2 ]]; then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    fi

    local i
    for ((i = 1; i < COMP_CWORD; i++)); do
        [[ ${COMP_WORDS[i]} == -- ]] && return 0
    done

    case $prev in
        -e | --encode)
            mapfile -t COMPREPLY < <(compgen -W 'thunder flashget qqdl' -- "$cur")
            return 0
            ;;
        -c | --charset)
            mapfile -t COMPREPLY < <(compgen -W 'auto gbk utf8 raw' -- "$cur")
            return 0
            ;;
        --open)
            return 0
            ;;
        -f | --file)
            compopt -o filenames
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            return 0
            ;;
    esac

    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W '-l --lenient -c --charset -p --percent-encode
            -j --json -f --file -e --encode --open --register-handler --unregister-handler
            -h --help -V --version' -- "$cur")
    fi
}

complete -F _veltrun veltrun
