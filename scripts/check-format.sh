#!/usr/bin/env bash
# Checks that every C++ source and header of the repository is formatted as .clang-format
# says; with --fix, formats them in place.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! clang-format --dry-run --Werror "${files[@]}" 2> "$log"; then
  grep -E '^[^ ].*: error:' "$log" | cut -d: -f1 | sort -u | sed 's/^/  /' >&2
  echo "check-format: the files above differ from .clang-format (scripts/check-format.sh --fix formats them)" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files formatted as .clang-format says"
