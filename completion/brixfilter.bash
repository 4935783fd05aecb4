# bash completion for brixfilter
_brixfilter()
{
    local cur prev
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    if [[ $prev == -f ]]; then
        COMPREPLY=($(compgen -f -- "$cur"))
        return
    fi
    case $cur in
        -f?*)
            # The file name is glued to -f: bash cannot see that a candidate is a folder, so
            # the slash is added here and no blank follows it, as for "-f exa<TAB>".
            local c IFS=$'\n'
            COMPREPLY=()
            for c in $(compgen -f -- "${cur#-f}"); do
                [[ -d $c ]] && c+=/
                COMPREPLY+=("-f$c")
            done
            if [[ ${#COMPREPLY[@]} -eq 1 && ${COMPREPLY[0]} == */ ]]; then
                compopt -o nospace 2>/dev/null
            fi
            return 0 ;;
    esac
    local opts=" -f -c --strip-xml-comments -t -r --strip-xml-tags -d --delete-empty-tags -s -S -R -i --in-place --help --version "
    COMPREPLY=($(compgen -W "$opts" -- "$cur"))
} &&
complete -o filenames -F _brixfilter brixfilter
