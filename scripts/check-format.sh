#!/usr/bin/env bash
# Fails when a C++ file of the tree is off the committed .clang-format; with --fix, formats them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
format=$(command -v clang-format-14 || command -v clang-format)
mapfile -t files < <(git ls-files '*.h' '*.cpp')
if [ "${1:-}" = --fix ]; then
    "$format" -i "${files[@]}"
    exit 0
fi
off=()
for f in "${files[@]}"; do
    "$format" --dry-run --Werror "$f" > /dev/null 2>&1 || off+=("$f")
done
if [ ${#off[@]} -gt 0 ]; then
    echo "format: ${#off[@]} file(s) off .clang-format (scripts/check-format.sh --fix formats them):" >&2
    printf '  %s\n' "${off[@]}" >&2
    exit 1
fi
echo "format: ${#files[@]} files follow .clang-format"
