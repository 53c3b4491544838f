#!/bin/sh
# Fails when a tracked C or C++ file differs from what clang-format makes of it (.clang-format at the root).
# Usage: dev/check-format.sh            (run from anywhere in the checkout)
set -eu
cd "$(dirname "$0")/.."
git ls-files -z '*.c' '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
echo "format: every C and C++ file is formatted"
