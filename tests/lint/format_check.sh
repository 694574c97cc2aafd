#!/usr/bin/env bash
# Fails when a tracked C or C++ file (.c, .cpp, .h) differs from what clang-format makes of it
# with the repository's .clang-format, and names each such file.
# Usage: format_check.sh SOURCE_FOLDER [CLANG_FORMAT]
# Exit status: 0 all formatted, 1 some file differs or clang-format is missing, 77 skipped
# (no git, or the folder is not a git checkout: the tracked files are unknown).
set -uo pipefail

source_dir=${1:?usage: format_check.sh SOURCE_FOLDER [CLANG_FORMAT]}
clang_format=${2:-clang-format}

if ! command -v git >/dev/null 2>&1; then
    echo "format_check: skipped, git is not installed (the tracked files are unknown)"
    exit 77
fi
if ! git -C "$source_dir" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    echo "format_check: skipped, $source_dir is not a git checkout"
    exit 77
fi
if ! command -v "$clang_format" >/dev/null 2>&1; then
    echo "format_check: $clang_format not found (scripts/install-deps.sh installs clang-format)"
    exit 1
fi
cd "$source_dir" || exit 1
if [ ! -f .clang-format ]; then
    echo "format_check: no .clang-format in $source_dir"
    exit 1
fi

# Tracked files as they are in the working tree (a tracked file deleted there is left out).
files=()
while IFS= read -r -d '' file; do
    [ -f "$file" ] && files+=("$file")
done < <(git ls-files -z -- '*.c' '*.cpp' '*.h')
if [ "${#files[@]}" -eq 0 ]; then
    echo "format_check: no tracked .c, .cpp or .h file in $source_dir"
    exit 1
fi

differing=()
for file in "${files[@]}"; do
    if ! "$clang_format" --style=file --dry-run --Werror "$file" >/dev/null 2>&1; then
        differing+=("$file")
    fi
done

if [ "${#differing[@]}" -ne 0 ]; then
    echo "format_check: ${#differing[@]} of ${#files[@]} files differ from .clang-format" \
        "($("$clang_format" --version)):"
    printf '  %s\n' "${differing[@]}"
    echo "format_check: the first one, as clang-format would change it:"
    "$clang_format" --style=file --dry-run "${differing[0]}" 2>&1 | head -n 20
    echo "format_check: fix with: $clang_format -i --style=file <file>"
    exit 1
fi
echo "format_check: all ${#files[@]} tracked .c, .cpp and .h files follow .clang-format"
