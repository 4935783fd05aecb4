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
            COMPREPLY=($(compgen -f -P -f -- "${cur#-f}"))
            return ;;
    esac
    local opts=" -f -c --strip-xml-comments -t -r --strip-xml-tags -d --delete-empty-tags -s -S -R --help --version "
    COMPREPLY=($(compgen -W "$opts" -- "$cur"))
} &&
complete -o filenames -F _brixfilter brixfilter
