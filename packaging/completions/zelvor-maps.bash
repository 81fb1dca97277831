# bash completion for zelvor-maps                             -*- shell-script -*-

_zelvor_maps()
{
    local cur prev words cword
    _init_completion || return

    local pictures='@(png|jpg|jpeg|bmp|gif|tif|tiff|webp|pbm|pgm|ppm|tga|map)'
    # The command is the first word that is neither an option nor an option's value.
    local command='' first=0 i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --base | --format | --width | --zoom | --at | --before | --type) ((i++)) ;;
            -*) ;;
            *)
                command=${words[i]}
                first=$i
                break
                ;;
        esac
    done

    case $prev in
        --base)
            _filedir -d
            return
            ;;
        --format)
            COMPREPLY=($(compgen -W 'table csv json' -- "$cur"))
            return
            ;;
        --type)
            COMPREPLY=($(compgen -W 'png jpeg pdf' -- "$cur"))
            return
            ;;
        --width | --zoom | --at | --before)
            return
            ;;
    esac

    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W 'list render import due check --help --version' -- "$cur"))
        return
    fi

    local options='--help --base'
    case $command in
        list) options+=' --format' ;;
        render) options+=' --width --zoom --no-points --at --type' ;;
        import) options+=' --replace' ;;
        due) options+=' --format --before' ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi

    # How many operands come before the one being completed.
    local operands=0
    for ((i = first + 1; i < cword; i++)); do
        case ${words[i]} in
            --base | --format | --width | --zoom | --at | --before | --type) ((i++)) ;;
            -*) ;;
            *) ((operands++)) ;;
        esac
    done
    case $command in
        due) ;;
        check) _filedir map ;;
        import)
            if ((operands == 0)); then
                _filedir "$pictures"
            elif ((operands == 1)); then
                _filedir csv
            fi
            ;;
        render)
            if ((operands == 0)); then
                _filedir "$pictures"
            elif ((operands == 1)); then
                _filedir '@(png|jpg|jpeg|pdf)'
            fi
            ;;
        *) _filedir "$pictures" ;;
    esac
} &&
    complete -F _zelvor_maps zelvor-maps

# ex: filetype=sh
