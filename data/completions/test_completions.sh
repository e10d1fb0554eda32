#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
#
# Checks the shell completions of veskari-scan against the program: every option that
# --help lists is offered by all three shells, and bash and fish complete a prefix.
# Usage: test_completions.sh VESKARI_SCAN COMPLETIONS_DIR   (a shell that is missing is skipped)
set -euo pipefail
scan=$1
dir=$2
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

mapfile -t options < <("$scan" --help | grep -oE '(^|[ ,])--?[a-z][a-z-]*' | sed 's/^[ ,]*//' | grep -vx -- '--' | sort -u)
((${#options[@]} > 5)) || fail "found only ${#options[@]} options in --help"
for file in veskari-scan.bash _veskari-scan veskari-scan.fish; do
    for option in "${options[@]}"; do
        case $file in
            # fish names options without their dashes: -s j, -l jobs
            *.fish) [[ $option == --* ]] && pattern="-l ${option#--}( |$)" || pattern="-s ${option#-}( |$)" ;;
            *) pattern="(^|[^a-z-])${option}([^a-z-]|$)" ;;
        esac
        grep -qE -- "$pattern" "$dir/$file" || fail "$file does not offer $option"
    done
done

if [[ -r /usr/share/bash-completion/bash_completion ]]; then
    offered=$(bash -c '
        source /usr/share/bash-completion/bash_completion
        source "$1"
        COMP_WORDS=(veskari-scan --js); COMP_CWORD=1; COMP_LINE="veskari-scan --js"; COMP_POINT=${#COMP_LINE}
        _veskari_scan veskari-scan --js veskari-scan
        echo "${COMPREPLY[*]}"' _ "$dir/veskari-scan.bash")
    [[ $offered == "--json --json-lines" ]] || fail "bash completes --js to '$offered'"
fi
if command -v fish >/dev/null; then
    offered=$(fish --no-config -c "source $dir/veskari-scan.fish; complete -C 'veskari-scan --js'" | cut -f1 | tr '\n' ' ')
    [[ $offered == "--json --json-lines " ]] || fail "fish completes --js to '$offered'"
fi
if command -v zsh >/dev/null; then
    zsh -n "$dir/_veskari-scan" || fail "zsh cannot parse _veskari-scan"
fi

echo "completions: $((failures == 0 ? 1 : 0)) passed, $((failures == 0 ? 0 : 1)) failed"
exit $((failures == 0 ? 0 : 1))
