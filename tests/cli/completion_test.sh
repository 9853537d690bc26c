#!/usr/bin/env bash
# The shell completions of kz-orba-cli, run as the shells run them: bash's completion function on
# partial lines (split into words as bash splits them), fish's own completion engine, and zsh's
# parser on its script. Values come from the option-list files of the folder the line names.
# Usage: completion_test.sh KZ-ORBA-CLI DATA_DIR
set -uo pipefail
cli=$1 data=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# A folder of option lists with an entry no shipped list has, so that values are seen to come
# from the folder the line names and not from anywhere else.
mkdir "$work/lists" "$work/bin"
cp "$data"/auto_off.txt "$data"/input_prefer.txt "$data"/output_reso.txt "$work/lists/"
sed -i 's/^END\r$/"Never Ever"\r\nEND\r/' "$work/lists/auto_off.txt"
ln -s "$(readlink -f "$cli")" "$work/bin/kz-orba-cli"
export PATH="$work/bin:$PATH"

# --- bash ---------------------------------------------------------------------------------
if [ ! -r /usr/share/bash-completion/bash_completion ]; then
    fail "bash-completion is not installed (scripts/deps.sh installs it)"
else
    # Bash splits the line at blanks that are not escaped, and makes "=" and ":" words of their
    # own (they are in COMP_WORDBREAKS); the completion function reassembles what it needs.
    complete_bash() {
        bash -c '
            source /usr/share/bash-completion/bash_completion
            eval "$(kz-orba-cli completion bash)"
            line=$1
            COMP_WORDS=() word="" escaped=
            for ((i = 0; i < ${#line}; i++)); do
                c=${line:i:1}
                if [[ -n $escaped ]]; then word+=$c; escaped=; continue; fi
                case $c in
                    \\) word+=$c; escaped=1 ;;
                    " ") [[ -n $word ]] && COMP_WORDS+=("$word"); word="" ;;
                    = | :) [[ -n $word ]] && COMP_WORDS+=("$word"); COMP_WORDS+=("$c"); word="" ;;
                    *) word+=$c ;;
                esac
            done
            COMP_WORDS+=("$word")
            COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) COMP_LINE=$line COMP_POINT=${#line}
            _kz_orba_cli kz-orba-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
            printf "%s\n" "${COMPREPLY[@]}" | sort
        ' bash "$1"
    }
    # The line typed so far | the candidates, sorted, separated by commas.
    while IFS='|' read -r line expected; do
        [[ -z $line || $line == \#* ]] && continue
        line=${line//DIR/$work/lists}
        got=$(complete_bash "$line" | paste -sd, -)
        [[ $got == "$expected" ]] || fail "bash: \"$line\" completes to [$got], not [$expected]"
    done <<'EOF'
kz-orba-cli re|read,reset
kz-orba-cli --p|--port,--ports-file
kz-orba-cli --port CO|COM1,COM2,COM3,COM4,COM5,COM6,COM7,COM8,COM9
kz-orba-cli get aspe|aspect
kz-orba-cli values overscan_|overscan_h,overscan_v
kz-orba-cli set asp|aspect=
kz-orba-cli set transm|
kz-orba-cli --config-dir DIR set display=O|Off,On
kz-orba-cli --config-dir DIR set aspect=16|16:10\ TV,16:9\ TV
kz-orba-cli --config-dir DIR set aspect=16:9\ T|9\ TV
kz-orba-cli --config-dir DIR set auto_off=Nev|Never\ Ever
kz-orba-cli -c DIR set hue=10|10,100
kz-orba-cli apply --d|--dry-run
kz-orba-cli get --|--help,--json
kz-orba-cli key m|menu,minus
kz-orba-cli completion |bash,fish,zsh
kz-orba-cli help v|values,vga-auto
kz-orba-cli -- |apply,completion,diff,get,help,key,ports,read,reset,serve,set,status,values,vga-auto,watch
kz-orba-cli st|status
kz-orba-cli watch --i|--interval
kz-orba-cli serve --l|--listen
EOF
fi

# --- fish ---------------------------------------------------------------------------------
if ! command -v fish >/dev/null; then
    fail "fish is not installed (scripts/deps.sh installs it)"
else
    while IFS='|' read -r line expected; do
        [[ -z $line ]] && continue
        line=${line//DIR/$work/lists}
        got=$(HOME=$work fish --no-config -c 'kz-orba-cli completion fish | source; complete -C $argv[1]' "$line" \
            | cut -f1 | sort | paste -sd, -)
        [[ $got == "$expected" ]] || fail "fish: \"$line\" completes to [$got], not [$expected]"
    done <<'EOF'
kz-orba-cli re|read,reset
kz-orba-cli get aspe|aspect
kz-orba-cli set asp|aspect=
kz-orba-cli --config-dir DIR set display=O|display=Off,display=On
kz-orba-cli --config-dir DIR set auto_off=Nev|auto_off=Never Ever
kz-orba-cli apply --dr|--dry-run
kz-orba-cli key m|menu,minus
EOF
fi

# --- zsh ----------------------------------------------------------------------------------
if ! command -v zsh >/dev/null; then
    fail "zsh is not installed (scripts/deps.sh installs it)"
else
    kz-orba-cli completion zsh >"$work/_kz-orba-cli"
    zsh -n "$work/_kz-orba-cli" || fail "zsh: the script does not parse"
    # Loaded as zsh loads a completion function from fpath, it binds itself to the program.
    bound=$(HOME=$work zsh -f -c "fpath=($work \$fpath); autoload -U compinit; compinit -u -D; print -r -- \${_comps[kz-orba-cli]}")
    [[ $bound == _kz-orba-cli ]] || fail "zsh: kz-orba-cli is completed by [$bound], not [_kz-orba-cli]"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures completion checks failed" >&2
    exit 1
fi
echo "completion: bash, fish and zsh as expected"
