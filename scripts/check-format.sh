#!/usr/bin/env bash
# Fails when a tracked C or C++ file differs from what clang-format makes of it.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "clang-format não instalado" >&2; exit 1; }
files=$(git ls-files '*.c' '*.cpp' '*.h')
if ! clang-format --dry-run --Werror $files; then
  echo "Formatação difere do .clang-format: rode clang-format -i nos arquivos acima." >&2
  exit 1
fi
echo "Formatação conferida: $(echo "$files" | wc -l) arquivos."
