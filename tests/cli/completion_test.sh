#!/usr/bin/env bash
# The shell completions of kz-orba-cli, run as the shells run them: bash's completion function on
# partial lines (split into words as bash splits them), fish's own completion engine, and zsh's
# completion engine driven on a terminal. Values come from the option-list files of the folder the
# line names. The scripts and their templates are checked with shellcheck, zsh -n and fish -n.
# Usage: completion_test.sh KZ-ORBA-CLI DATA_DIR TEMPLATE_DIR
set -uo pipefail
cli=$1 data=$2 templates=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# A folder of option lists with entries no shipped list has, so that values are seen to come
# from the folder the line names and not from anywhere else: one with a space, and "*", which
# a shell must not take for the files of the current folder. The same lists in a folder whose
# name has a space, and under the home folder (~/lists).
mkdir "$work/lists" "$work/bin" "$work/cwd" "$work/stub"
cp "$data"/auto_off.txt "$data"/input_prefer.txt "$data"/output_reso.txt "$work/lists/"
sed -i 's/^END\r$/"Never Ever"\r\n"*"\r\nEND\r/' "$work/lists/auto_off.txt"
cp -r "$work/lists" "$work/my lists"
touch "$work/cwd/a-file" "$work/cwd/b-file"
ln -s "$(readlink -f "$cli")" "$work/bin/kz-orba-cli"
export PATH="$work/bin:$PATH"
# A program of the same name whose values hold a tab (which the option lists may come to
# refuse, so it is not asked of the real program); everything else it leaves to the real one.
cat >"$work/stub/kz-orba-cli" <<STUB
#!/bin/sh
case "\$*" in
*values*) printf 'Tab\\there\\nTabless\\n' ;;
*) exec "$work/bin/kz-orba-cli" "\$@" ;;
esac
STUB
chmod +x "$work/stub/kz-orba-cli"

# --- the scripts as shell files -----------------------------------------------------------
# Each template is read by its shell's own checker (shellcheck for bash), and so is the script
# the program fills from it; no placeholder is left unfilled.
if ! command -v shellcheck >/dev/null; then
    fail "shellcheck is not installed (scripts/deps.sh installs it)"
else
    shellcheck -s bash "$templates/kz-orba-cli.bash.in" || fail "shellcheck: the bash template"
    kz-orba-cli completion bash >"$work/kz-orba-cli.bash"
    shellcheck -s bash "$work/kz-orba-cli.bash" || fail "shellcheck: the bash script"
fi
for shell in bash zsh fish; do
    script=$(kz-orba-cli completion $shell) || fail "$shell: completion exits $?"
    left=$(grep -o '@[a-z_]*@' <<<"$script" | sort -u | paste -sd' ' -)
    [[ -z $left ]] || fail "$shell: placeholders left unfilled: $left"
done
if command -v zsh >/dev/null; then
    zsh -n "$templates/_kz-orba-cli.zsh.in" || fail "zsh -n: the zsh template"
fi
if command -v fish >/dev/null; then
    fish --no-execute "$templates/kz-orba-cli.fish.in" || fail "fish --no-execute: the fish template"
    kz-orba-cli completion fish >"$work/kz-orba-cli.fish"
    fish --no-execute "$work/kz-orba-cli.fish" || fail "fish --no-execute: the fish script"
fi

# --- bash ---------------------------------------------------------------------------------
if [ ! -r /usr/share/bash-completion/bash_completion ]; then
    fail "bash-completion is not installed (scripts/deps.sh installs it)"
else
    # Bash splits the line at blanks that are neither quoted nor escaped, keeping the quotes in the
    # word, and makes "=" and ":" words of their own (they are in COMP_WORDBREAKS); the
    # completion function reassembles what it needs. Readline shows the candidates sorted unless
    # the function asked for "-o nosort"; compopt is only recorded here, as it works only inside
    # readline. It runs in a folder holding files, so that a value taken for a pattern shows.
    complete_bash() {
        (cd "$work/cwd" && HOME=$work bash -c '
            source /usr/share/bash-completion/bash_completion
            eval "$(kz-orba-cli completion bash)"
            nosort=
            compopt() { [[ " $* " == *" -o nosort "* ]] && nosort=1; return 0; }
            line=$1
            COMP_WORDS=() word="" escaped= quote=
            for ((i = 0; i < ${#line}; i++)); do
                c=${line:i:1}
                if [[ -n $escaped ]]; then word+=$c; escaped=; continue; fi
                if [[ -n $quote ]]; then
                    word+=$c
                    [[ $c == "$quote" ]] && quote=
                    [[ $c == \\ && $quote == \" ]] && escaped=1
                    continue
                fi
                case $c in
                    \\) word+=$c; escaped=1 ;;
                    \" | "'\''") word+=$c; quote=$c ;;
                    " ") [[ -n $word ]] && COMP_WORDS+=("$word"); word="" ;;
                    = | :) [[ -n $word ]] && COMP_WORDS+=("$word"); COMP_WORDS+=("$c"); word="" ;;
                    *) word+=$c ;;
                esac
            done
            COMP_WORDS+=("$word")
            COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) COMP_LINE=$line COMP_POINT=${#line}
            _kz_orba_cli kz-orba-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
            if [[ -n $nosort ]]; then
                printf "%s\n" "${COMPREPLY[@]}"
            else
                printf "%s\n" "${COMPREPLY[@]}" | sort
            fi
        ' bash "$1")
    }
    # The line typed so far | the candidates as readline shows them, separated by commas. DIR is
    # the lists' folder, WORK the folder holding it, "my lists" and the home folder, STUB the
    # program whose values hold a tab.
    while IFS='|' read -r line expected; do
        [[ -z $line || $line == \#* ]] && continue
        line=${line//DIR/$work/lists} line=${line//WORK/$work}
        line=${line//STUB/$work/stub/kz-orba-cli}
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
kz-orba-cli --config-dir DIR set display=O|On,Off
kz-orba-cli --config-dir DIR set aspect=16|16:9\ TV,16:10\ TV
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
# Values in their lists' order, each as it is, never taken for a pattern of file names.
kz-orba-cli --config-dir DIR set auto_off=|Off,60,300,600,900,1800,3600,Never\ Ever,\*
kz-orba-cli --config-dir DIR set auto_off=\*|\*
STUB set auto_off=T|$'Tab\there',Tabless
# The folder as the shell passes it to the program: quotes and backslashes removed, a ~ at the
# start of a word expanded, but not one after "=" or within quotes.
kz-orba-cli --config-dir ~/lists set auto_off=Nev|Never\ Ever
kz-orba-cli -c ~/"my lists" set auto_off=Nev|Never\ Ever
kz-orba-cli --config-dir "WORK/my lists" set auto_off=Nev|Never\ Ever
kz-orba-cli --config-dir 'WORK/my lists' set auto_off=Nev|Never\ Ever
kz-orba-cli --config-dir WORK/my\ lists set auto_off=Nev|Never\ Ever
kz-orba-cli --config-dir=WORK/my\ lists set auto_off=Nev|Never\ Ever
kz-orba-cli -cWORK/lists set auto_off=Nev|Never\ Ever
kz-orba-cli --config-dir=~/lists set auto_off=Nev|
kz-orba-cli --config-dir '~/lists' set auto_off=Nev|
kz-orba-cli --config-dir $(touch${IFS}WORK/ran) set auto_off=Nev|
EOF
    [[ ! -e $work/ran ]] || fail "bash: completing ran a command substitution of the line"
fi

# --- fish ---------------------------------------------------------------------------------
if ! command -v fish >/dev/null; then
    fail "fish is not installed (scripts/deps.sh installs it)"
else
    while IFS='|' read -r line expected; do
        [[ -z $line || $line == \#* ]] && continue
        line=${line//DIR/$work/lists} line=${line//STUB/$work/stub/kz-orba-cli}
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
kz-orba-cli --config-dir DIR set auto_off=\*|auto_off=*
# A tab would end the candidate (what follows is its description): it is shown escaped.
STUB set auto_off=T|auto_off=Tab\there,auto_off=Tabless
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
    # zsh completes only in its line editor, so an interactive zsh runs on a terminal of its own
    # (zpty), the line is typed and Tab pressed; every candidate added is printed, then a mark.
    cat >"$work/complete.zsh" <<'ZSH'
zmodload zsh/zpty
zpty z zsh -f -i
zpty -w z "PROMPT=''; fpath=($1 \$fpath); autoload -U compinit; compinit -u -D"
zpty -w z 'compadd() {
  [[ ${@[1,(i)(-|--)]} == *-(O|A|D)\ * ]] && { builtin compadd "$@"; return }
  local -a hits; local hit
  builtin compadd -A hits "$@"
  for hit in $hits; do print -r -- "<C>$IPREFIX$hit</C>"; done
  builtin compadd "$@"
}'
zpty -w z 'comppostfuncs=(done_mark); done_mark() { print -r -- "<DONE>"; compstate[insert]=""; compstate[list]="" }'
zpty -w z 'print -r -- "<READY"">"'
zpty -r z out '*<READY>*'
zpty -w -n z "$2"$'\t'
zpty -r z out '*<DONE>*'
for line in ${(f)out}; do
  [[ $line == *'<C>'*'</C>'* ]] && { line=${line#*<C>}; print -r -- ${line%%</C>*} }
done
zpty -d z
ZSH
    while IFS='|' read -r line expected; do
        [[ -z $line || $line == \#* ]] && continue
        line=${line//DIR/$work/lists} line=${line//WORK/$work}
        got=$(cd "$work/cwd" && HOME=$work timeout 60 zsh -f "$work/complete.zsh" "$work" "$line" \
            | sort | paste -sd, -)
        [[ $got == "$expected" ]] || fail "zsh: \"$line\" completes to [$got], not [$expected]"
    done <<'EOF'
kz-orba-cli re|read,reset
kz-orba-cli get aspe|aspect
kz-orba-cli set asp|aspect
kz-orba-cli apply --d|--dry-run
kz-orba-cli key m|menu,minus
kz-orba-cli --port CO|COM1,COM2,COM3,COM4,COM5,COM6,COM7,COM8,COM9
# Values with the option-list folder on the line, in each way the shell takes it.
kz-orba-cli --config-dir DIR set auto_off=Nev|auto_off=Never\ Ever
kz-orba-cli -c DIR set auto_off=Nev|auto_off=Never\ Ever
kz-orba-cli --config-dir=DIR set auto_off=Nev|auto_off=Never\ Ever
kz-orba-cli --port COM2 --config-dir DIR --port COM3 set auto_off=Nev|auto_off=Never\ Ever
kz-orba-cli --config-dir ~/lists set auto_off=Nev|auto_off=Never\ Ever
kz-orba-cli --config-dir "WORK/my lists" set auto_off=Nev|auto_off=Never\ Ever
kz-orba-cli --config-dir 'WORK/my lists' set auto_off=Nev|auto_off=Never\ Ever
kz-orba-cli --config-dir WORK/my\ lists set auto_off=Nev|auto_off=Never\ Ever
kz-orba-cli --config-dir '~/lists' set auto_off=Nev|
kz-orba-cli --config-dir DIR set auto_off=*|auto_off=\*
EOF
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures completion checks failed" >&2
    exit 1
fi
echo "completion: bash, fish and zsh as expected"
