# bash completion for zelvor                                  -*- shell-script -*-

_zelvor()
{
    local cur prev words cword
    _init_completion || return

    case $prev in
        --base)
            _filedir -d
            return
            ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--base --help --version' -- "$cur"))
        return
    fi
    _filedir '@(png|jpg|jpeg|bmp|gif|tif|tiff|webp|pbm|pgm|ppm|tga)'
} &&
    complete -F _zelvor zelvor

# ex: filetype=sh
