#!/usr/bin/env bash
# Checks C++ sources against the tree's .clang-format without changing them.
#
#   tools/check-format.sh [PATH...]
#
# A PATH is a file or a folder (its .cpp and .h files, at any depth). Without one, every
# .cpp and .h file git tracks is checked. Prints each file whose layout differs from what
# clang-format would make of it, and exits 1 when there is one. To fix a file:
#   clang-format -i FILE
# The options in .clang-format are tuned for clang-format 14; another version may lay some
# lines out differently, so it is named when it is not 14. CLANG_FORMAT picks the binary.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
clang_format=${CLANG_FORMAT:-clang-format}

if ! version=$("$clang_format" --version 2>/dev/null); then
    echo "check-format: $clang_format not found (apt-get install clang-format)" >&2
    exit 2
fi
if [[ ! $version =~ version\ 14\. ]]; then
    echo "check-format: expected clang-format 14, have: $version" >&2
fi

files=()
if (($# == 0)); then
    # Files deleted in the work tree but still in the index are skipped.
    while IFS= read -r -d '' file; do
        [[ -f $root/$file ]] && files+=("$root/$file")
    done < <(git -C "$root" ls-files -z -- '*.cpp' '*.h')
else
    for path in "$@"; do
        if [[ -d $path ]]; then
            while IFS= read -r -d '' file; do
                files+=("$file")
            done < <(find "$path" -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
        elif [[ -f $path ]]; then
            files+=("$path")
        else
            echo "check-format: no such file or folder: $path" >&2
            exit 2
        fi
    done
fi

offending=0
for file in "${files[@]}"; do
    # --style=file: the .clang-format found above the file, the tree's own one.
    if ! "$clang_format" --dry-run --Werror --style=file "$file" >/dev/null 2>&1; then
        echo "${file#"$root"/}"
        offending=$((offending + 1))
    fi
done

if ((offending > 0)); then
    echo "check-format: $offending of ${#files[@]} file(s) differ from .clang-format" >&2
    exit 1
fi
echo "check-format: ${#files[@]} file(s) follow .clang-format" >&2
