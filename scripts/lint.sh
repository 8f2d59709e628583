#!/usr/bin/env bash
# House checks on the sources:
#   scripts/lint.sh format   every C and C++ file is laid out as .clang-format says
#   scripts/lint.sh tidy     clang-tidy (.clang-tidy) finds nothing in the product code
#   scripts/lint.sh          both
#   scripts/lint.sh fix      lays every file out as .clang-format says
# The tidy check reads a compile database of a clang build in build-lint/
# (configured here, nothing is compiled) and covers what the Linux build
# compiles; tests, benchmarks, fuzz targets and examples are left out.
set -euo pipefail
cd "$(dirname "$0")/.."

what=${1:-all}
sources() { git ls-files '*.c' '*.cpp' '*.h'; }

check_format() {
  echo "== clang-format: $(sources | wc -l) files"
  sources | xargs -P "$(nproc)" -n 20 clang-format --dry-run --Werror
}

check_tidy() {
  CC=clang CXX=clang++ cmake -S . -B build-lint -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DMEDLEY_BUILD_TESTS=OFF -DMEDLEY_BUILD_WINE_TESTS=OFF >/dev/null
  mapfile -t files < <(git ls-files '*.c' '*.cpp' | grep -v -E '^(tests|bench|fuzz|examples)/' |
                       sed "s|^|$PWD/|")
  echo "== clang-tidy: ${#files[@]} product sources (those the Linux build compiles)"
  run-clang-tidy -p build-lint -j "$(nproc)" -quiet -header-filter="^$PWD/(audio|component|engine|foundation|host|media|platform|protocol|sip|tools|video|include)/" "${files[@]}" > build-lint/tidy.log 2>&1 ||
    { grep -E 'warning:|error:' build-lint/tidy.log | sort -u; echo "clang-tidy found the above"; exit 1; }
}

[ "$what" = fix ] || scripts/install-deps.sh
case "$what" in
  format) check_format ;;
  tidy) check_tidy ;;
  all) check_format; check_tidy ;;
  fix) sources | xargs -P "$(nproc)" -n 20 clang-format -i ;;
  *) echo "usage: scripts/lint.sh [format|tidy|fix]" >&2; exit 2 ;;
esac
