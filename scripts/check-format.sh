#!/usr/bin/env bash
# Fails on any tracked C or C++ source that differs from the tree's .clang-format.
# Fix with: git ls-files -z -- '*.cpp' '*.h' '*.c' | xargs -0 clang-format -i
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z -- '*.cpp' '*.h' '*.c' '*.inc' | xargs -0 clang-format --dry-run -Werror
echo "check-format: every source file is formatted"
