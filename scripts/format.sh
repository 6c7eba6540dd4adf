#!/usr/bin/env bash
# Formats the project's C++ files with the committed .clang-format.
# Usage: scripts/format.sh          rewrites every tracked .cpp and .h file
#        scripts/format.sh --check  changes nothing, fails when a file drifts
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
if ! command -v clang-format >/dev/null 2>&1; then
    echo "clang-format is not installed (scripts/setup.sh installs it)" >&2
    exit 1
fi
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--check" ]; then
    clang-format --dry-run -Werror "${files[@]}"
    echo "formatting: ${#files[@]} files as .clang-format says"
else
    clang-format -i "${files[@]}"
fi
